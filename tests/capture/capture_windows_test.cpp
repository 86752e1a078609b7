// The capture tool as Windows runs it (under Wine in CI): raw frames in binary on standard
// output, a raw file written whole or not at all, outputs that are inputs refused by file
// identity, the data set found beside the program, and videos and stills refused with the reason.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fx/frame.h"
#include "gradient_data_set.h"
#include "platform/output_file.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* k_capture = VELMORASTIK_CAPTURE;

// The capture tests' own small data set (support/gradient_data_set.h).
class CaptureWindowsTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        set_ = new TempDir;
        ASSERT_TRUE(write_gradient_data_set(set_->path()));
    }
    static void TearDownTestSuite() { delete set_; }

    // The capture tool started in folder (cmd.exe's "cd /d"), on this data set unless the
    // arguments say otherwise.
    static CommandRun capture(const std::string& folder, const std::string& arguments)
    {
        return run_command("cd /d " + folder + " && " + k_capture + " " + arguments);
    }
    static std::string data_set() { return set_->path(); }

    static TempDir* set_;
};

TempDir* CaptureWindowsTest::set_ = nullptr;

// What the tool said on stderr, with Windows' text-mode line ends made plain.
std::string text(const CommandRun& run)
{
    std::string plain;
    for (std::size_t i = 0; i < run.output.size(); ++i)
        if (run.output[i] != '\r' || i + 1 == run.output.size() || run.output[i + 1] != '\n')
            plain += run.output[i];
    return plain;
}

std::string read_bytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "(none)";
}

TEST_F(CaptureWindowsTest, RawFramesOnStandardOutputAreTheFilesBytesUnchanged)
{
    TempDir out;
    const std::string frames = "--fps 10 --frames 0,40-45,200";
    const CommandRun piped = capture(out.path(), "-C " + data_set() + " " + frames + " --raw - 2>NUL");
    ASSERT_EQ(piped.status, 0);
    const CommandRun written = capture(out.path(), "-C " + data_set() + " " + frames + " --raw f.raw");
    ASSERT_EQ(written.status, 0) << written.output;
    EXPECT_EQ(written.output.substr(0, 8), "frames: ");

    ASSERT_EQ(piped.output.size(), 8 * k_frame_bytes) << "a text-mode stream would add a byte 13 before each 10";
    EXPECT_GT(std::count(piped.output.begin(), piped.output.end(), '\n'), 1000) << "the frames hold bytes 10";
    EXPECT_TRUE(piped.output == read_bytes(out.file("f.raw")));
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{"f.raw"}) << "no temporary file left";
}

TEST_F(CaptureWindowsTest, RawFileIsReplacedOnlyWhenComplete)
{
    TempDir out;
    const std::string kept = out.file("k.raw");
    ASSERT_TRUE(output_write_whole(kept, {'o', 'l', 'd'}));

    // Opened before -C names a folder that is not there: the capture fails with the file staged.
    CommandRun run = capture(out.path(), "-C " + out.file("missing") + " --raw k.raw 2>&1");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(read_bytes(kept), "old");
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{"k.raw"});

    run = capture(out.path(), "-C " + data_set() + " --fps 10 --frames 0-1,999999 --raw k.raw 2>&1");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find("there are no frames 999999"), std::string::npos) << run.output;
    EXPECT_EQ(read_bytes(kept), "old");
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{"k.raw"});

    run = capture(out.path(), "-C " + data_set() + " --fps 10 --frames 3,5 --raw k.raw");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(fs::file_size(kept), 2 * k_frame_bytes);
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{"k.raw"});

    // A device is written straight through.
    run = capture(out.path(), "-C " + data_set() + " --fps 10 --frames 3 --raw NUL");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{"k.raw"});
}

// Refused before any frame is made, with the words the Linux build uses.
TEST_F(CaptureWindowsTest, RawNamesThatNameNoFileAreRefusedAsFolders)
{
    TempDir out;
    CommandRun run = capture(out.path(), "-C " + data_set() + " --frames 0 --raw \"\" 2>&1");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(text(run), "velmorastik-capture: cannot write: Is a directory\n");

    fs::create_directory(fs::path(out.path()) / "sub");
    run = capture(out.path(), "-C " + data_set() + " --frames 0 --raw sub 2>&1");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(text(run), "velmorastik-capture: cannot write: sub: Is a directory\n");

    run = capture(out.path(), "-C " + data_set() + " --frames 0 --raw new\\ 2>&1");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(text(run), "velmorastik-capture: cannot write: new\\: Is a directory\n");
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{"sub"});
}

TEST_F(CaptureWindowsTest, OutputsThatAreTheShowsOwnFilesAreRefusedBeforeAnythingIsWritten)
{
    TempDir out;
    const fs::path data = fs::path(data_set()) / "data";
    fs::create_hard_link(data / "gfx/1/3.jpg", fs::path(out.path()) / "hard.raw");
    const std::string picture = read_bytes((data / "gfx/1/3.jpg").string());
    const std::string texture = read_bytes((data / "lumo.raw").string());

    CommandRun run = capture(out.path(), "-C " + data_set() + " --frames 0 --raw hard.raw 2>&1");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(text(run), "velmorastik-capture: cannot write: hard.raw: it is the show's own data/gfx/1/3.jpg\n");

    const std::string same = (data / "lumo.raw").string();
    run = capture(out.path(), "-C " + data_set() + " --frames 0 --raw " + same + " 2>&1");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(text(run), "velmorastik-capture: cannot write: " + same + ": it is the show's own data/lumo.raw\n");

    EXPECT_EQ(read_bytes((data / "gfx/1/3.jpg").string()), picture);
    EXPECT_EQ(read_bytes((data / "lumo.raw").string()), texture);
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{"hard.raw"});
    EXPECT_EQ(names_in((data / "gfx/1").string()),
              (std::vector<std::string>{"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"}));
}

TEST_F(CaptureWindowsTest, AFolderInPlaceOfTheTextureIsNotARegularFile)
{
    TempDir broken;
    fs::copy(fs::path(data_set()) / "data", fs::path(broken.path()) / "data", fs::copy_options::recursive);
    fs::remove(fs::path(broken.path()) / "data/lumo.raw");
    fs::create_directory(fs::path(broken.path()) / "data/lumo.raw");
    const CommandRun run = capture(broken.path(), "--frames 0 --raw NUL 2>&1");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_EQ(text(run), "velmorastik-capture: cannot open: data/lumo.raw: not a regular file\n");
}

TEST_F(CaptureWindowsTest, TheDataSetBesideTheProgramIsPlayedFromAnywhere)
{
    // As unpacked from the zip: the program with data/ beside it, started in a folder without one.
    TempDir unpacked;
    const fs::path folder = fs::path(unpacked.path()) / "velmorastik";
    fs::create_directory(folder);
    fs::copy_file(k_capture, folder / "velmorastik-capture.exe");
    fs::copy(fs::path(data_set()) / "data", folder / "data", fs::copy_options::recursive);
    TempDir elsewhere;
    const CommandRun run = run_command("cd /d " + elsewhere.path() + " && " +
                                       (folder / "velmorastik-capture.exe").string() +
                                       " --fps 10 --frames 0 --raw NUL 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string said = "velmorastik-capture: no data/ folder here; playing the installed data set " +
                             folder.string() + "/data\nframes: ";
    EXPECT_EQ(text(run).substr(0, said.size()), said);
}

TEST_F(CaptureWindowsTest, VideosAndStillsAreRefusedSayingWhereTheyAreMade)
{
    TempDir out;
    for (const std::string arguments : {"--png stills", "show.mkv", "--crf 0 --raw x.raw"}) {
        const CommandRun run = capture(out.path(), "-C " + data_set() + " " + arguments + " 2>&1");
        EXPECT_EQ(run.status, 64) << arguments;
        EXPECT_NE(text(run).find("this build writes raw frames only; videos and stills are made by the Linux build\n"
                                 "usage: velmorastik-capture [OPTIONS]\n"),
                  std::string::npos)
            << run.output;
    }
    EXPECT_TRUE(names_in(out.path()).empty());

    const CommandRun help = capture(out.path(), "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--raw FILE"), std::string::npos) << help.output;
    EXPECT_EQ(help.output.find("--png DIR"), std::string::npos) << help.output;
}

}  // namespace
