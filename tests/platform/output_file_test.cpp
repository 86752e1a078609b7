#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
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
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"a-file"});
}

}  // namespace
