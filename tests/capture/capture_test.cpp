#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <cstdio>
#include <string>
#include <vector>

#include "fx/frame.h"
#include "fx/frame_hash.h"
#include "gradient_data_set.h"
#include "jpeg_reference.h"
#include "platform/output_file.h"
#include "show/frame_count.h"
#include "temp_dir.h"

namespace {

// A small data set made here (support/gradient_data_set.h).
class CaptureTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        directory_ = new TempDir;
        ASSERT_TRUE(write_gradient_data_set(directory_->path()));
    }
    static void TearDownTestSuite() { delete directory_; }

    // Runs the capture tool on the data set (started in where, after the shell command before, when
    // given); its standard output (frames or the count) as bytes.
    static std::vector<std::uint8_t> capture(const std::string& arguments, int* status, const std::string& where = {},
                                             const std::string& before = {})
    {
        const std::string command = before + (where.empty() ? "" : "cd " + where + " && ") + VELMORASTIK_CAPTURE +
                                    " -C " + directory_->path() + " " + arguments;
        std::FILE* pipe = popen(command.c_str(), "r");
        std::vector<std::uint8_t> output;
        std::vector<std::uint8_t> chunk(1 << 20);
        std::size_t n;
        while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
            output.insert(output.end(), chunk.begin(), chunk.begin() + static_cast<long>(n));
        *status = pclose(pipe);
        return output;
    }

    static const std::uint32_t* frame(const std::vector<std::uint8_t>& bytes, std::size_t n)
    {
        return reinterpret_cast<const std::uint32_t*>(bytes.data() + n * k_frame_bytes);
    }

    static TempDir* directory_;
};

TempDir* CaptureTest::directory_ = nullptr;

mode_t current_umask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// The show's own frame count at fps: its timeline run against the virtual clock.
long expected_frames(long fps) { return static_cast<long>(show_frame_count(static_cast<std::uint64_t>(fps))); }

TEST_F(CaptureTest, PlaysTheWholeShowAndReportsItsFrameCount)
{
    int status = -1;
    const auto output = capture("", &status);
    EXPECT_EQ(status, 0);
    const long frames = expected_frames(60);
    EXPECT_EQ(std::string(output.begin(), output.end()), "frames: " + std::to_string(frames) + "\n");
    EXPECT_NEAR(frames, 23 * 307, 23) << "about 5.1 s a phase at 60 frames a second";

    capture("--fps 25", &status);
    EXPECT_EQ(status, 0);
}

TEST_F(CaptureTest, FirstFrameIsBlackAndLastIsTheFinalPicture)
{
    const long last = expected_frames(60) - 1;
    int status = -1;
    const auto output = capture("--raw - --frames 0," + std::to_string(last) + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(output.size(), 2 * k_frame_bytes);

    for (std::size_t i = 0; i < k_frame_pixels; ++i)
        ASSERT_EQ(frame(output, 0)[i], 0u) << "pixel " << i;

    const ReferenceImage final_picture = decode_reference(gradient_picture(16));
    for (std::size_t i = 0; i < k_frame_pixels; ++i) {
        const std::uint8_t* rgb = final_picture.samples.data() + 3 * i;
        const std::uint32_t expected = std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2];
        ASSERT_EQ(frame(output, 1)[i], expected) << "pixel " << i << ": picture 6 of set 2 with a zero top byte";
    }
}

std::string text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string read_text(const std::string& path)
{
    std::string content;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return "(none)";
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, n);
    std::fclose(file);
    return content;
}

// The second run also writes the frames' hashes, which must be those of the bytes.
TEST_F(CaptureTest, TwoRunsGiveIdenticalBytesAndTheHashesAreTheirs)
{
    // Every 40th frame, effect frames included.
    std::string list = "0";
    for (int n = 40; n < 7000; n += 40) {
        list += ',';
        list += std::to_string(n);
    }
    int status = -1;
    const auto first = capture("--raw - --frames " + list + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0);
    TempDir out;
    const auto second = capture("--raw - --hashes " + out.file("h.txt") + " --frames " + list + " 2>/dev/null",
                                &status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(first.size(), 175 * k_frame_bytes);
    EXPECT_TRUE(first == second);

    std::string expected;
    for (std::size_t n = 0; n < 175; ++n)
        expected += hash_text(frame_hash(*reinterpret_cast<const Frame32*>(frame(first, n)))) + "\n";
    expected += "digest: " + hash_text(frame_hash_add(k_frame_hash_basis, first.data(), first.size())) +
                "\nframes: 175\n";
    EXPECT_EQ(read_text(out.file("h.txt")), expected);
}

TEST_F(CaptureTest, UsageErrorsSayWhatWasWrong)
{
    int status = -1;
    EXPECT_EQ(text(capture("--fps 0 2>&1", &status)).substr(0, 45), "velmorastik-capture: --fps must be 1 to 1000\n");
    EXPECT_EQ(WEXITSTATUS(status), 64);
    // Past 1000 a show's frames take long to step for nothing a screen or a video shows.
    EXPECT_EQ(text(capture("--fps 1001 2>&1", &status)).substr(0, 45),
              "velmorastik-capture: --fps must be 1 to 1000\n");
    EXPECT_EQ(WEXITSTATUS(status), 64);
    EXPECT_NE(text(capture("--frames 5-3 2>&1", &status)).find("not '5-3'\nusage:"), std::string::npos);
    EXPECT_EQ(WEXITSTATUS(status), 64);
    EXPECT_NE(text(capture("--raw - --hashes - 2>&1", &status))
                  .find("--raw and --hashes cannot both go to standard output\nusage:"),
              std::string::npos);
    EXPECT_EQ(WEXITSTATUS(status), 64);
    EXPECT_NE(text(capture("--bogus 2>&1", &status)).find("unrecognized option '--bogus'"), std::string::npos);
    EXPECT_EQ(WEXITSTATUS(status), 64);
    EXPECT_NE(text(capture("show.mkv stray 2>&1", &status)).find("unexpected argument 'stray'\nusage:"),
              std::string::npos);
    EXPECT_EQ(WEXITSTATUS(status), 64);
    // One name is the video's; it must say which container.
    EXPECT_NE(text(capture("stray.avi 2>&1", &status)).find("stray.avi: the name must end in .mkv or .mp4"),
              std::string::npos);
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST_F(CaptureTest, SystemFailuresNameThePathAndTheReason)
{
    int status = -1;
    const std::string missing = "-C " + directory_->file("data/gfx") + " 2>&1";
    EXPECT_EQ(text(capture(missing, &status)),
              "velmorastik-capture: cannot open: data/lumo.raw: No such file or directory\n");
    EXPECT_EQ(WEXITSTATUS(status), 2);

    EXPECT_EQ(text(capture("--frames 0 --raw /dev/full 2>&1", &status)),
              "velmorastik-capture: cannot write: /dev/full: No space left on device\n");
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST_F(CaptureTest, AFailedCountLineIsAFailure)
{
    int status = -1;
    EXPECT_EQ(text(capture("--fps 5 2>&1 >/dev/full", &status)),
              "velmorastik-capture: cannot write: standard output: No space left on device\n");
    EXPECT_EQ(WEXITSTATUS(status), 2);
    capture("--fps 5 2>/dev/null >&-", &status);
    EXPECT_EQ(WEXITSTATUS(status), 2) << "standard output closed";
}

TEST_F(CaptureTest, RawFileAppearsOnlyWhenComplete)
{
    TempDir out;
    const std::string kept = out.file("k.raw");
    ASSERT_TRUE(output_write_whole(kept, {'o', 'l', 'd'}));
    int status = -1;
    capture("-C /nonexistent --raw " + kept + " 2>/dev/null", &status);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(read_text(kept), "old") << "a failed capture leaves the file as it was";
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{"k.raw"});

    capture("--fps 10 --frames 3,5 --raw " + kept + " >/dev/null", &status);
    EXPECT_EQ(status, 0);
    struct stat written;
    ASSERT_EQ(stat(kept.c_str(), &written), 0);
    EXPECT_EQ(written.st_size, static_cast<off_t>(2 * k_frame_bytes));
    EXPECT_EQ(written.st_mode & 0777, 0666 & ~current_umask()) << "the permissions of a file made by fopen";
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{"k.raw"});

    // Through a link, the file it names is replaced and keeps its permissions; the link stays.
    ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
    ASSERT_EQ(symlink("k.raw", out.file("link.raw").c_str()), 0);
    capture("--fps 10 --frames 4 --raw " + out.file("link.raw") + " >/dev/null", &status);
    EXPECT_EQ(status, 0);
    struct stat link;
    ASSERT_EQ(lstat(out.file("link.raw").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    ASSERT_EQ(stat(kept.c_str(), &written), 0);
    EXPECT_EQ(written.st_size, static_cast<off_t>(k_frame_bytes));
    EXPECT_EQ(written.st_mode & 0777, 0640u);
    EXPECT_EQ(names_in(out.path()), (std::vector<std::string>{"k.raw", "link.raw"}));
}

TEST_F(CaptureTest, FramesPastTheEndAreNamedAndNothingIsWritten)
{
    TempDir out;
    const long frames = expected_frames(60);
    int status = -1;
    const std::string raw = out.file("f.raw");
    const auto output = capture("--frames 0,5," + std::to_string(frames - 1) + "-" + std::to_string(frames + 9) +
                                    ",99999 --raw " + raw + " 2>&1",
                                &status);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(text(output), "velmorastik-capture: the show has " + std::to_string(frames) +
                                " frames; there are no frames " + std::to_string(frames) + "-" +
                                std::to_string(frames + 9) + ",99999\n");
    EXPECT_TRUE(names_in(out.path()).empty()) << "no output file, no temporary one";

    capture("--frames 99999 >/dev/null 2>&1", &status);
    EXPECT_EQ(WEXITSTATUS(status), 2) << "without --raw too";
}

TEST_F(CaptureTest, OutputsThatAreTheShowsOwnFilesAreRefusedBeforeAnythingIsWritten)
{
    const std::vector<std::string> inputs = {"data/sfx/lumo.mp3", "data/lumo.raw", "data/gfx/misc/tzback.jpg",
                                             "data/gfx/1/3.jpg", "data/gfx/2/6.jpg"};
    std::vector<std::string> before;
    for (const std::string& input : inputs)
        before.push_back(read_text(directory_->file(input)));
    TempDir out;
    ASSERT_EQ(link(directory_->file("data/gfx/1/3.jpg").c_str(), out.file("hard.raw").c_str()), 0);
    ASSERT_EQ(symlink(directory_->file("data/lumo.raw").c_str(), out.file("show.mkv").c_str()), 0);
    ASSERT_EQ(mkdir(out.file("stills").c_str(), 0755), 0);
    ASSERT_EQ(symlink(directory_->file("data/gfx/2/6.jpg").c_str(), out.file("stills/frame-00007.png").c_str()), 0);

    const std::string soundtrack = directory_->file("data/sfx/lumo.mp3");
    struct Case {
        std::string arguments;
        std::string refusal;
    };
    for (const Case& c : {
             Case{"--raw " + soundtrack, soundtrack + ": it is the show's own data/sfx/lumo.mp3"},
             // Another name for a picture, from where the user stands before -C: the same file.
             Case{"--raw hard.raw", "hard.raw: it is the show's own data/gfx/1/3.jpg"},
             Case{"show.mkv", out.file("show.mkv") + ": it is the show's own data/lumo.raw"},
             Case{"--png stills", out.file("stills/frame-00007.png") + ": it is the show's own data/gfx/2/6.jpg"},
         }) {
        int status = -1;
        EXPECT_EQ(text(capture("--fps 10 --frames 0-9 " + c.arguments + " 2>&1", &status, out.path())),
                  "velmorastik-capture: cannot write: " + c.refusal + "\n");
        EXPECT_EQ(WEXITSTATUS(status), 2) << c.arguments;
    }
    for (std::size_t i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(read_text(directory_->file(inputs[i])), before[i]) << inputs[i] << " changed";
    EXPECT_EQ(names_in(out.path()), (std::vector<std::string>{"hard.raw", "show.mkv", "stills"}));
    EXPECT_EQ(names_in(out.file("stills")), std::vector<std::string>{"frame-00007.png"});
}

TEST_F(CaptureTest, AnyLegalNameIsTheOutputsOwn)
{
    // 254 bytes: no temporary name built from it could fit beside it.
    TempDir out;
    const std::string name = std::string(250, 'n') + ".raw";
    int status = -1;
    capture("--fps 10 --frames 3 --raw " + out.file(name) + " >/dev/null", &status);
    EXPECT_EQ(status, 0);
    struct stat written;
    ASSERT_EQ(stat(out.file(name).c_str(), &written), 0);
    EXPECT_EQ(written.st_size, static_cast<off_t>(k_frame_bytes));

    // Replacing a file of that name keeps its permissions and leaves nothing else.
    ASSERT_EQ(chmod(out.file(name).c_str(), 0600), 0);
    capture("--fps 10 --frames 3,4 --raw " + out.file(name) + " >/dev/null", &status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(stat(out.file(name).c_str(), &written), 0);
    EXPECT_EQ(written.st_size, static_cast<off_t>(2 * k_frame_bytes));
    EXPECT_EQ(written.st_mode & 0777, 0600u);
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{name});
}

TEST_F(CaptureTest, StillsPastTheOpenFilesAllowedAllAppear)
{
    // Each still is an open unnamed file until all take their names; with few files allowed, the
    // rest are written under hidden names, and all appear together all the same.
    TempDir out;
    int status = -1;
    capture("--fps 10 --frames 0-29 --png " + out.path() + " >/dev/null 2>&1", &status, "", "ulimit -n 70 && ");
    EXPECT_EQ(status, 0);
    std::vector<std::string> expected;
    for (int n = 0; n < 30; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05d.png", n);
        expected.emplace_back(name);
    }
    EXPECT_EQ(names_in(out.path()), expected);
}

TEST_F(CaptureTest, HelpAndSummaryTellTheTruth)
{
    // Every preset the tool accepts is in its help.
    int status = -1;
    const std::string refusal = text(capture("--preset fastest 2>&1", &status));
    EXPECT_EQ(WEXITSTATUS(status), 64);
    const std::string lead = "--preset must be one of ";
    ASSERT_EQ(refusal.find("velmorastik-capture: " + lead), 0u) << refusal;
    const std::string list = refusal.substr(21 + lead.size(), refusal.find('\n') - 21 - lead.size());
    const std::string help = text(capture("--help", &status));
    for (std::size_t start = 0; start < list.size();) {
        const std::size_t end = std::min(list.find(", ", start), list.size());
        EXPECT_NE(help.find(list.substr(start, end - start)), std::string::npos) << list.substr(start, end - start);
        start = end + 2;
    }
    EXPECT_NE(list.find("placebo"), std::string::npos) << list;
    capture("--preset placebo --fps 1 --frames 0 >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0);

    // Stills have no length to play: the summary says how many, their bytes and the time taken,
    // and no speed (twenty stills of a two-minute show are no multiple of real time).
    TempDir out;
    const std::string summary = text(
        capture("--fps 10 --frames 0-19 --png " + out.path() + " 2>&1 >/dev/null", &status));
    EXPECT_EQ(status, 0);
    const std::size_t line = summary.find("20 of the show's");
    ASSERT_NE(line, std::string::npos) << summary;
    unsigned long frames = 0;
    double show = 0, megabytes = 0, took = 0;
    int end = 0;
    ASSERT_EQ(std::sscanf(summary.c_str() + line,
                          "20 of the show's %lu frames (%lf s) written as stills: %lf MB, in %lf s%n", &frames, &show,
                          &megabytes, &took, &end),
              4)
        << summary;
    EXPECT_EQ(static_cast<long>(frames), expected_frames(10));
    EXPECT_NEAR(show, expected_frames(10) / 10.0, 0.05);
    EXPECT_GT(megabytes, 0.0);
    EXPECT_EQ(summary.substr(line + static_cast<std::size_t>(end)), "\n") << "the summary goes on: " << summary;
    EXPECT_EQ(summary.find("real time"), std::string::npos) << summary;
}

}  // namespace
