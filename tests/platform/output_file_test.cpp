#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/output_file.h"
#include "temp_dir.h"

namespace {

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A writer that stops before committing (a failed video) leaves the old file and nothing else.
TEST(OutputFile, ClosedUncommittedLeavesTheOldFileAndNothingBeside)
{
    TempDir directory;
    const std::string path = directory.file("out.mkv");
    std::ofstream(path) << "old";
    std::string reason;
    OutputFile* output = output_open(path.c_str(), &reason);
    ASSERT_NE(output, nullptr) << reason;
    EXPECT_FALSE(output_is_pipe(*output));
    std::fputs("new bytes", output_stream(*output));
    output_close(output);
    EXPECT_EQ(contents(path), "old");
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"out.mkv"});
}

// A whole file in one call replaces the old one, keeping its permissions and leaving nothing
// beside; each failure says why, the one that opens nothing makes nothing, and a device that
// refuses the bytes fails at the commit.
TEST(OutputFile, WrittenWholeInOneCallOrFailingWithItsReason)
{
    TempDir directory;
    const std::string path = directory.file("icon.png");
    std::ofstream(path) << "old";
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::string reason;
    ASSERT_TRUE(output_write_whole(path, {'n', 'e', 'w', 0, 'x'}, &reason)) << reason;
    EXPECT_EQ(contents(path), std::string("new\0x", 5));
    struct stat status;
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    ASSERT_TRUE(output_write_whole(directory.file("empty"), {}, &reason)) << reason;
    EXPECT_EQ(names_in(directory.path()), (std::vector<std::string>{"empty", "icon.png"}));

    EXPECT_FALSE(output_write_whole(directory.file("missing/icon.png"), {'x'}, &reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_EQ(names_in(directory.path()), (std::vector<std::string>{"empty", "icon.png"}));
    EXPECT_FALSE(output_write_whole("/dev/full", std::vector<std::uint8_t>(100, 'x'), &reason));
    EXPECT_EQ(reason, "No space left on device");
}

// The muxer must not seek in a pipe: a FIFO with a reader is one, its bytes arrive as written.
TEST(OutputFile, AFifoIsAPipeAndGetsTheBytes)
{
    TempDir directory;
    const std::string fifo = directory.file("fifo.mkv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::string reason;
    OutputFile* output = output_open(fifo.c_str(), &reason);
    ASSERT_NE(output, nullptr) << reason;
    EXPECT_TRUE(output_is_pipe(*output));
    std::fputs("abc", output_stream(*output));
    ASSERT_TRUE(output_commit(output, &reason)) << reason;
    output_close(output);
    char got[8] = {};
    EXPECT_EQ(read(reader, got, sizeof got), 3);
    EXPECT_STREQ(got, "abc");
    close(reader);
}

// The stills appear together at the commit, with their bytes, replacing older ones of the name.
TEST(OutputFolder, FilesTakeTheirNamesOnlyAtTheCommit)
{
    TempDir directory;
    const std::string path = directory.file("stills");
    std::string error;
    OutputFolder* folder = output_folder_open(path.c_str(), &error);
    ASSERT_NE(folder, nullptr) << error;
    std::ofstream(path + "/frame-00001.png") << "older";
    ASSERT_TRUE(output_folder_write(folder, "frame-00001.png", "one", 3, &error)) << error;
    ASSERT_TRUE(output_folder_write(folder, "frame-00002.png", "two!", 4, &error)) << error;
    EXPECT_EQ(names_in(path), std::vector<std::string>{"frame-00001.png"}) << "nothing named before the commit";
    EXPECT_EQ(contents(path + "/frame-00001.png"), "older");

    ASSERT_TRUE(output_folder_commit(folder, &error)) << error;
    EXPECT_EQ(names_in(path), (std::vector<std::string>{"frame-00001.png", "frame-00002.png"}));
    EXPECT_EQ(contents(path + "/frame-00001.png"), "one");
    EXPECT_EQ(contents(path + "/frame-00002.png"), "two!");

    // A second round after a commit starts afresh; discarding it leaves the folder as it was.
    ASSERT_TRUE(output_folder_write(folder, "frame-00003.png", "three", 5, &error)) << error;
    output_folder_discard(folder);
    EXPECT_EQ(names_in(path), (std::vector<std::string>{"frame-00001.png", "frame-00002.png"}));
    output_folder_close(folder);
}

// Each unnamed file holds a descriptor until the commit: ending the folder uncommitted gives
// them all back, with the folder's own, and names nothing.
TEST(OutputFolder, ClosingUncommittedGivesBackItsFilesAndNamesNothing)
{
    TempDir directory;
    const auto open_descriptors = [] { return names_in("/proc/self/fd").size(); };
    const std::size_t before = open_descriptors();
    std::string error;
    OutputFolder* folder = output_folder_open(directory.path().c_str(), &error);
    ASSERT_NE(folder, nullptr) << error;
    for (const char* name : {"frame-00000.png", "frame-00001.png", "frame-00002.png"})
        ASSERT_TRUE(output_folder_write(folder, name, "png", 3, &error)) << error;
    EXPECT_GT(open_descriptors(), before);
    output_folder_close(folder);
    EXPECT_EQ(open_descriptors(), before);
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{});
    output_folder_close(nullptr);
}

// A name that cannot be taken (a folder stands there) fails the commit by its path; the files
// named before it keep their names, no temporary name is left, and the folder still ends.
TEST(OutputFolder, ACommitThatFailsNamesTheFileAndLeavesNoTemporaryName)
{
    TempDir directory;
    std::string error;
    OutputFolder* folder = output_folder_open(directory.path().c_str(), &error);
    ASSERT_NE(folder, nullptr) << error;
    ASSERT_EQ(mkdir(directory.file("frame-00002.png").c_str(), 0755), 0);
    ASSERT_TRUE(output_folder_write(folder, "frame-00001.png", "one", 3, &error)) << error;
    ASSERT_TRUE(output_folder_write(folder, "frame-00002.png", "two", 3, &error)) << error;
    ASSERT_TRUE(output_folder_write(folder, "frame-00003.png", "three", 5, &error)) << error;
    EXPECT_FALSE(output_folder_commit(folder, &error));
    EXPECT_EQ(error, "cannot write: " + directory.path() + "/frame-00002.png: Is a directory");
    output_folder_close(folder);
    EXPECT_EQ(names_in(directory.path()), (std::vector<std::string>{"frame-00001.png", "frame-00002.png"}));
    EXPECT_EQ(contents(directory.file("frame-00001.png")), "one");
}

// Past the limit of open files, files take hidden names ".NAME.part" instead: ending the folder
// uncommitted removes them, and a commit renames them. In a child process, whose lowered limit
// cannot be raised again.
TEST(OutputFolder, HiddenNamesAreRemovedAtTheCloseAndRenamedAtTheCommit)
{
    TempDir directory;
    const std::string path = directory.path();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // No open file left for unnamed ones: every file is hidden. Each failure has its status.
        const rlimit limit = {64, 64};
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            _exit(10);
        std::string error;
        OutputFolder* folder = output_folder_open(path.c_str(), &error);
        if (folder == nullptr || !output_folder_write(folder, "frame-00001.png", "one", 3, &error) ||
            !output_folder_write(folder, "frame-00002.png", "two", 3, &error))
            _exit(11);
        if (names_in(path) != std::vector<std::string>{".frame-00001.png.part", ".frame-00002.png.part"})
            _exit(12);
        output_folder_close(folder);
        if (!names_in(path).empty())
            _exit(13);
        folder = output_folder_open(path.c_str(), &error);
        if (folder == nullptr || !output_folder_write(folder, "frame-00003.png", "three", 5, &error) ||
            !output_folder_commit(folder, &error))
            _exit(14);
        output_folder_close(folder);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 limit, 11 write, 12 not hidden, 13 left at the close, 14 commit";
    EXPECT_EQ(names_in(path), std::vector<std::string>{"frame-00003.png"});
    EXPECT_EQ(contents(path + "/frame-00003.png"), "three");
}

TEST(OutputFolder, FailuresNameThePathAndTheReason)
{
    TempDir directory;
    std::string error;
    const std::string file = directory.file("a-file");
    std::ofstream(file) << "x";
    EXPECT_EQ(output_folder_open(file.c_str(), &error), nullptr);
    EXPECT_EQ(error, "cannot write stills into: " + file + ": Not a directory");

    const std::string deep = directory.file("missing/stills");
    EXPECT_EQ(output_folder_open(deep.c_str(), &error), nullptr);
    EXPECT_EQ(error, "cannot make: " + deep + ": No such file or directory");

    // A name that fits the folder but leaves no room for its hidden name ".NAME.part".
    OutputFolder* folder = output_folder_open(directory.path().c_str(), &error);
    ASSERT_NE(folder, nullptr) << error;
    const std::string long_name(NAME_MAX - 2, 'n');
    EXPECT_FALSE(output_folder_write(folder, long_name.c_str(), "x", 1, &error));
    EXPECT_EQ(error, "cannot write: " + directory.path() + "/" + long_name + ": File name too long");
    ASSERT_TRUE(output_folder_commit(folder, &error)) << error;
    output_folder_close(folder);
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"a-file"});
}

}  // namespace
