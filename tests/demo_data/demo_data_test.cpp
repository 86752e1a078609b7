#include <gtest/gtest.h>

#include <mpg123.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "demo_data_sets.h"
#include "jpeg_reference.h"
#include "platform/output_file.h"
#include "run_command.h"
#include "show/data_set.h"
#include "show/timeline.h"
#include "temp_dir.h"

namespace {

std::vector<std::uint8_t> read_bytes(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    std::vector<std::uint8_t> chunk(1 << 16);
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0)
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<long>(n));
    std::fclose(file);
    return bytes;
}

// Runs the generator (by the command given) with arguments; its exit status, and its output in
// *output.
int generate_with(const std::string& generator, const std::string& arguments, std::string* output)
{
    const CommandRun run = run_command(generator + " " + arguments + " 2>&1");
    if (output != nullptr)
        *output = run.output;
    return run.status;
}

int generate(const std::string& arguments, std::string* output = nullptr)
{
    return generate_with(VELMORASTIK_DEMO_DATA, arguments, output);
}

// The last line of text, with its newline.
std::string last_line(const std::string& text)
{
    const std::size_t end = text.size() > 1 ? text.rfind('\n', text.size() - 2) : std::string::npos;
    return end == std::string::npos ? text : text.substr(end + 1);
}

// Run as root: the generator as user and group nobody, as a second user of a shared folder.
int generate_as_another_user(const std::string& arguments, std::string* output)
{
    return generate_with("setpriv --reuid=65534 --regid=65534 --clear-groups " + std::string(VELMORASTIK_DEMO_DATA),
                         arguments, output);
}

// Paths of the show's own list (data/...) as under data/.
std::vector<std::string> under_data(std::vector<std::string> paths)
{
    for (std::string& path : paths)
        path.erase(0, std::string(k_data_dir).size() + 1);
    return paths;
}

const std::vector<std::string> k_pictures = under_data(data_set_pictures());

// The two data sets of two runs, made once per test run and only read here.
class DemoDataTest : public testing::Test {
protected:
    static std::string sets() { return demo_data_sets(VELMORASTIK_MAKE_SETS, VELMORASTIK_DEMO_DATA); }
    static std::string data(const std::string& name) { return sets() + "/first/data/" + name; }
    static std::string second_data(const std::string& name) { return sets() + "/second/data/" + name; }
    static std::string first_output()
    {
        const std::vector<std::uint8_t> log = read_bytes(sets() + "/first.log");
        return std::string(log.begin(), log.end());
    }
};

TEST_F(DemoDataTest, WritesEveryFileAndSaysSo)
{
    const std::string output = first_output();
    for (const std::string& name : k_pictures)
        EXPECT_NE(output.find(std::string("data/") + name), std::string::npos) << name;
    EXPECT_NE(output.find("data/lumo.raw"), std::string::npos);
    EXPECT_NE(output.find("data/sfx/lumo.mp3"), std::string::npos);
    EXPECT_NE(output.find("data complete\n"), std::string::npos) << output;
    EXPECT_EQ(read_bytes(data("lumo.raw")).size(), 196608u);
}

TEST_F(DemoDataTest, PicturesAreDistinctBaselineColourJpegsOfTheFrameSize)
{
    std::vector<ReferenceImage> images;
    for (const std::string& name : k_pictures) {
        const std::vector<std::uint8_t> bytes = read_bytes(data(name));
        ASSERT_GT(bytes.size(), 1000u) << name;
        // A baseline frame header (SOF0) and no progressive one (SOF2).
        bool baseline = false;
        bool progressive = false;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
            baseline = baseline || (bytes[i] == 0xFF && bytes[i + 1] == 0xC0);
            progressive = progressive || (bytes[i] == 0xFF && bytes[i + 1] == 0xC2);
        }
        EXPECT_TRUE(baseline && !progressive) << name;
        images.push_back(decode_reference(bytes));
        EXPECT_EQ(images.back().width, 640) << name;
        EXPECT_EQ(images.back().height, 480) << name;
        EXPECT_EQ(images.back().components, 3) << name;
    }
    // Every two pictures differ by a clear margin on average.
    for (std::size_t a = 0; a < images.size(); ++a)
        for (std::size_t b = a + 1; b < images.size(); ++b) {
            ASSERT_EQ(images[a].samples.size(), images[b].samples.size());
            double difference = 0;
            for (std::size_t i = 0; i < images[a].samples.size(); ++i)
                difference += std::abs(images[a].samples[i] - images[b].samples[i]);
            EXPECT_GT(difference / images[a].samples.size(), 20.0) << k_pictures[a] << " vs " << k_pictures[b];
        }
}

TEST_F(DemoDataTest, TextureRunsThroughEveryHue)
{
    const std::vector<std::uint8_t> texture = read_bytes(data("lumo.raw"));
    ASSERT_EQ(texture.size(), 196608u);
    // Saturated texels counted by sixth of the colour wheel (red-yellow, yellow-green, ...).
    int sextants[6] = {};
    for (std::size_t i = 0; i < texture.size(); i += 3) {
        const int r = texture[i];
        const int g = texture[i + 1];
        const int b = texture[i + 2];
        const int high = std::max({r, g, b});
        const int low = std::min({r, g, b});
        if (high - low < 64)
            continue;
        const int sextant = high == r ? (low == b ? 0 : 5) : high == g ? (low == b ? 1 : 2) : (low == r ? 3 : 4);
        ++sextants[sextant];
    }
    for (int s = 0; s < 6; ++s)
        EXPECT_GT(sextants[s], 65536 / 50) << "sixth " << s << " of the colour wheel";
}

TEST_F(DemoDataTest, SoundtrackEndsWithTheShowOnAChordThatHasDiedAway)
{
    ASSERT_EQ(mpg123_init(), MPG123_OK);
    int error = 0;
    mpg123_handle* decoder = mpg123_new(nullptr, &error);
    ASSERT_NE(decoder, nullptr);
    ASSERT_EQ(mpg123_open(decoder, data("sfx/lumo.mp3").c_str()), MPG123_OK);
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    ASSERT_EQ(mpg123_getformat(decoder, &rate, &channels, &encoding), MPG123_OK);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    ASSERT_EQ(encoding, MPG123_ENC_SIGNED_16);

    std::vector<short> samples;
    std::vector<short> buffer(1 << 16);
    std::size_t done = 0;
    int result;
    do {
        result = mpg123_read(decoder, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size() * sizeof(short),
                             &done);
        samples.insert(samples.end(), buffer.begin(), buffer.begin() + static_cast<long>(done / sizeof(short)));
    } while (result == MPG123_OK);
    EXPECT_EQ(result, MPG123_DONE);
    mpg123_close(decoder);
    mpg123_delete(decoder);

    // The show ends as its last picture has faded in; the last fade is the final chord's.
    constexpr double show_seconds = k_show_phases * k_fade_ms / 1000.0;
    constexpr double last_fade = show_seconds - k_fade_ms / 1000.0;
    constexpr double silent_from = show_seconds - 0.3;  // nothing left to cut when the show stops
    const double seconds = static_cast<double>(samples.size()) / 2 / 44100.0;
    EXPECT_GE(seconds, show_seconds) << "as long as the show";
    EXPECT_LE(seconds, show_seconds + 2);
    const double kbps = static_cast<double>(read_bytes(data("sfx/lumo.mp3")).size()) * 8 / seconds / 1000;
    EXPECT_NEAR(kbps, 160, 5);

    auto rms = [&](double from, double to) {
        const std::size_t first = std::min(static_cast<std::size_t>(from * 44100) * 2, samples.size());
        const std::size_t last = std::min(static_cast<std::size_t>(to * 44100) * 2, samples.size());
        double sum = 0;
        for (std::size_t i = first; i < last; ++i)
            sum += static_cast<double>(samples[i]) * samples[i];
        return last > first ? std::sqrt(sum / static_cast<double>(last - first)) : 0.0;
    };
    const double body = rms(60, 70);
    EXPECT_GT(body, 1500) << "music, not silence";

    // The final chord is struck at full strength, then every half second is quieter than the last.
    const double struck = rms(last_fade + 0.25, last_fade + 0.75);
    EXPECT_GT(struck, body / 3) << "a final chord, not a fade begun earlier";
    double before = struck;
    for (double at = last_fade + 0.75; at + 0.5 <= silent_from; at += 0.5) {
        const double level = rms(at, at + 0.5);
        EXPECT_LT(level, before) << "louder again at " << at << " s";
        before = level;
    }
    EXPECT_LT(before, struck / 20) << "the chord has died away before the show ends";

    int peak = 0;
    for (std::size_t i = static_cast<std::size_t>(silent_from * 44100) * 2; i < samples.size(); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    EXPECT_EQ(peak, 0) << "silence from " << silent_from << " s to the end of the file";
}

TEST_F(DemoDataTest, TwoRunsWriteIdenticalBytesAndTheRecordedSoundtrack)
{
    const std::vector<std::string> names = under_data(data_set_files());
    for (const std::string& name : names) {
        const auto a = read_bytes(data(name));
        const auto b = read_bytes(second_data(name));
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == b) << name;
    }

    // FNV-1a over the bytes: any change to the piece shows here, and in review.
    constexpr std::uint64_t k_recorded_soundtrack = 0x60C3A72B9C090EDAu;
    std::uint64_t digest = 0xCBF29CE484222325u;
    for (const std::uint8_t byte : read_bytes(data("sfx/lumo.mp3")))
        digest = (digest ^ byte) * 0x100000001B3u;
    EXPECT_EQ(digest, k_recorded_soundtrack) << std::hex << "got 0x" << digest;
}

TEST(DemoDataArguments, RefusesToOverwriteAndReportsFailures)
{
    std::string output;
    EXPECT_EQ(generate("", &output), 64);
    EXPECT_EQ(output.substr(0, output.find('\n')), "velmorastik-demo-data: no directory given");
    EXPECT_EQ(generate("--bogus /tmp", &output), 64);
    EXPECT_EQ(output.substr(0, output.find('\n')), "velmorastik-demo-data: unknown option --bogus");
    EXPECT_EQ(generate("a b", &output), 64);
    EXPECT_EQ(output.substr(0, output.find('\n')), "velmorastik-demo-data: one directory only, not both a and b");

    TempDir directory;
    ASSERT_EQ(mkdir(directory.file("data").c_str(), 0755), 0);
    EXPECT_EQ(generate(directory.path(), &output), 2);
    EXPECT_EQ(output,
              "velmorastik-demo-data: cannot replace without --force: " + directory.file("data") + ": File exists\n");

    // A directory that cannot hold a data set: a plain file in its place.
    std::FILE* file = std::fopen(directory.file("plain").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(generate(directory.file("plain"), &output), 2);
    EXPECT_EQ(output,
              "velmorastik-demo-data: cannot create a folder in: " + directory.file("plain") + ": Not a directory\n");
}

// The generator started in the background, its output read line by line.
class RunningGenerator {
public:
    // file_size_limit: when non-zero, writes beyond that many bytes fail as on a full disk.
    RunningGenerator(const std::string& arguments, rlim_t file_size_limit = 0)
    {
        int fds[2];
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            close(fds[0]);
            if (file_size_limit != 0) {
                const rlimit limit{file_size_limit, file_size_limit};
                setrlimit(RLIMIT_FSIZE, &limit);
                signal(SIGXFSZ, SIG_IGN);  // a failed write, not a killed process
            }
            execl("/bin/sh", "sh", "-c", (std::string("exec ") + VELMORASTIK_DEMO_DATA + " " + arguments).c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        output_ = fdopen(fds[0], "r");
    }
    ~RunningGenerator()
    {
        if (pid_ > 0)
            wait_for_end();
    }

    // Reads output until a line containing text; false at the end of output.
    bool wait_for_line(const std::string& text)
    {
        char line[1024];
        while (std::fgets(line, sizeof line, output_) != nullptr) {
            all_ += line;
            if (std::string(line).find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    void send(int signal) { kill(pid_, signal); }
    // The wait status.
    int wait_for_end()
    {
        wait_for_line("\x01never");
        std::fclose(output_);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    const std::string& output() const { return all_; }

private:
    pid_t pid_ = -1;
    std::FILE* output_ = nullptr;
    std::string all_;
};

TEST(DemoDataSafety, AnInterruptLeavesNoDataSet)
{
    TempDir directory;
    {
        RunningGenerator early(directory.path());
        ASSERT_TRUE(early.wait_for_line("gfx/1/1.jpg")) << early.output();
        early.send(SIGINT);
        const int status = early.wait_for_end();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "ends as interrupted";
        EXPECT_TRUE(names_in(directory.path()).empty()) << "no data/, no temporary folder";
    }
    RunningGenerator late(directory.path());
    ASSERT_TRUE(late.wait_for_line("lumo.raw")) << late.output();  // now composing the soundtrack
    late.send(SIGTERM);
    const int status = late.wait_for_end();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_TRUE(names_in(directory.path()).empty());
}

TEST(DemoDataSafety, AFailedWriteLeavesNoDataSetAndKeepsTheOldOne)
{
    TempDir directory;
    RunningGenerator full_disk(directory.path(), 50'000);
    const int status = full_disk.wait_for_end();
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(full_disk.output(), "velmorastik-demo-data: cannot write: " + directory.path() +
                                      "/data/gfx/misc/tzback.jpg: File too large\n");
    EXPECT_TRUE(names_in(directory.path()).empty());

    // With --force the old set stays until the new one is complete: here, for ever.
    ASSERT_EQ(mkdir(directory.file("data").c_str(), 0755), 0);
    ASSERT_TRUE(output_write_whole(directory.file("data/mine.txt"), {'m'}));
    RunningGenerator replacing("--force " + directory.path(), 50'000);
    EXPECT_EQ(WEXITSTATUS(replacing.wait_for_end()), 2);
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"data"});
    EXPECT_EQ(names_in(directory.file("data")), std::vector<std::string>{"mine.txt"});
}

// A killed run leaves its temporary folder; the next run removes it and makes a whole set, but
// leaves alone a folder a live run holds and a link that only looks like one of ours.
TEST_F(DemoDataTest, ALaterRunRemovesWhatAKilledRunLeftButNoLiveRunsFolder)
{
    TempDir directory;
    {
        RunningGenerator killed(directory.path());
        ASSERT_TRUE(killed.wait_for_line("lumo.raw")) << killed.output();  // now composing the soundtrack
        killed.send(SIGKILL);
        const int status = killed.wait_for_end();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    const std::vector<std::string> left = names_in(directory.path());
    ASSERT_EQ(left.size(), 1u);
    ASSERT_EQ(left[0].rfind(".data-new-", 0), 0u) << left[0];

    // A live run's folder, locked as a running generator locks its own (here by this process).
    const std::string live = directory.file(".data-new-live01");
    ASSERT_EQ(mkdir(live.c_str(), 0755), 0);
    ASSERT_TRUE(output_write_whole(live + "/lumo.raw", {'l'}));
    const int lock = open(live.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
    TempDir outside;
    ASSERT_TRUE(output_write_whole(outside.file("keep.txt"), {'k'}));
    ASSERT_EQ(symlink(outside.path().c_str(), directory.file(".data-new-link01").c_str()), 0);

    std::string output;
    const int status = generate(directory.path(), &output);
    close(lock);
    ASSERT_EQ(status, 0) << output;
    EXPECT_NE(
        output.find("velmorastik-demo-data: removed " + directory.file(left[0]) + ", left by a run that was killed\n"),
        std::string::npos)
        << output;
    EXPECT_EQ(names_in(directory.path()), (std::vector<std::string>{".data-new-link01", ".data-new-live01", "data"}));
    EXPECT_EQ(names_in(live), std::vector<std::string>{"lumo.raw"});
    EXPECT_EQ(names_in(outside.path()), std::vector<std::string>{"keep.txt"});
    const std::vector<std::string> names = under_data(data_set_files());
    for (const std::string& name : names)
        EXPECT_TRUE(read_bytes(directory.file("data/" + name)) == read_bytes(data(name))) << name;
}

// The finished set cannot take its place: the user's set stays as it was, nothing is left beside
// it, and the failure names the path and the reason.
TEST(DemoDataSafety, AFailedRenameKeepsTheUsersSetAndLeavesNothing)
{
    {
        // Without --force: a data/ that appears while the soundtrack is being composed.
        TempDir directory;
        RunningGenerator racing(directory.path());
        ASSERT_TRUE(racing.wait_for_line("lumo.raw")) << racing.output();
        ASSERT_EQ(mkdir(directory.file("data").c_str(), 0755), 0);
        ASSERT_TRUE(output_write_whole(directory.file("data/mine.txt"), {'m'}));
        const int status = racing.wait_for_end();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << racing.output();
        EXPECT_EQ(last_line(racing.output()), "velmorastik-demo-data: cannot replace without --force: " +
                                                  directory.file("data") + ": File exists\n");
        EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"data"});
        EXPECT_EQ(names_in(directory.file("data")), std::vector<std::string>{"mine.txt"});
    }

    // With --force, in a shared folder with the sticky bit (as /tmp), over another user's data/:
    // the system refuses to move it.
    if (geteuid() != 0)
        GTEST_SKIP() << "the --force case needs root, to make a folder of another user";
    TempDir shared;
    ASSERT_EQ(chmod(shared.path().c_str(), 01777), 0);
    ASSERT_EQ(mkdir(shared.file("data").c_str(), 0755), 0);
    ASSERT_TRUE(output_write_whole(shared.file("data/mine.txt"), {'m'}));
    std::string output;
    const int status = generate_as_another_user("--force " + shared.path(), &output);
    EXPECT_EQ(status, 2) << output;
    EXPECT_EQ(last_line(output), "velmorastik-demo-data: cannot move the new set into: " + shared.file("data") +
                                     ": Operation not permitted\n");
    EXPECT_EQ(names_in(shared.path()), std::vector<std::string>{"data"});
    EXPECT_EQ(names_in(shared.file("data")), std::vector<std::string>{"mine.txt"});
    EXPECT_EQ(read_bytes(shared.file("data/mine.txt")), std::vector<std::uint8_t>{'m'});
}

TEST(DemoDataSafety, ForceReplacesWithoutFollowingLinks)
{
    TempDir outside;
    ASSERT_TRUE(output_write_whole(outside.file("precious.raw"), {'p'}));
    ASSERT_EQ(mkdir(outside.file("gfx").c_str(), 0755), 0);
    ASSERT_TRUE(output_write_whole(outside.file("gfx/keep.jpg"), {'k'}));

    TempDir directory;
    ASSERT_EQ(mkdir(directory.file("data").c_str(), 0755), 0);
    ASSERT_EQ(symlink(outside.file("precious.raw").c_str(), directory.file("data/lumo.raw").c_str()), 0);
    ASSERT_EQ(symlink(outside.file("gfx").c_str(), directory.file("data/gfx").c_str()), 0);
    std::string output;
    ASSERT_EQ(generate("--force " + directory.path(), &output), 0) << output;

    EXPECT_EQ(read_bytes(outside.file("precious.raw")), std::vector<std::uint8_t>{'p'});
    EXPECT_EQ(names_in(outside.file("gfx")), std::vector<std::string>{"keep.jpg"});
    struct stat texture;
    ASSERT_EQ(lstat(directory.file("data/lumo.raw").c_str(), &texture), 0);
    EXPECT_TRUE(S_ISREG(texture.st_mode));
    EXPECT_EQ(texture.st_size, 196608);
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"data"}) << "the old set is gone";
    EXPECT_EQ(names_in(directory.file("data")), (std::vector<std::string>{"gfx", "lumo.raw", "sfx"}));

    // data/ itself a link: replaced by the new folder, the folder it pointed to untouched.
    TempDir linked;
    ASSERT_EQ(symlink(outside.path().c_str(), linked.file("data").c_str()), 0);
    ASSERT_EQ(generate("--force " + linked.path(), &output), 0) << output;
    EXPECT_EQ(names_in(outside.path()), (std::vector<std::string>{"gfx", "precious.raw"}));
    struct stat data;
    ASSERT_EQ(lstat(linked.file("data").c_str(), &data), 0);
    EXPECT_TRUE(S_ISDIR(data.st_mode));
}

}  // namespace
