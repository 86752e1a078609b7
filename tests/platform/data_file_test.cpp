#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/data_file.h"
#include "platform/output_file.h"
#include "temp_dir.h"

namespace {

// A FIFO without a writer would hold a blocking open forever; a folder or a device would be read
// as an empty or endless file. Only a regular file is opened, with its size.
TEST(DataFile, OnlyARegularFileIsOpenedAndNothingWaits)
{
    TempDir directory;
    const std::string regular = directory.file("picture.jpg");
    ASSERT_TRUE(output_write_whole(regular, std::vector<std::uint8_t>(1000, 0x42)));
    DataFile file = data_file_open(regular.c_str());
    ASSERT_NE(file.stream, nullptr) << file.reason;
    EXPECT_EQ(file.size, 1000);
    EXPECT_EQ(std::fgetc(file.stream), 0x42) << "reads as usual once open";
    std::fclose(file.stream);

#ifdef _WIN32
    // Windows keeps no FIFOs among files; its devices (NUL) and pipes fail the one disk-file check.
    const std::vector<std::string> not_files = {directory.path(), "NUL"};
#elif defined(__EMSCRIPTEN__)
    // The browser's files are fetched into memory, where nothing can wait; Node's file system
    // shows a FIFO to WebAssembly as a plain file.
    const std::vector<std::string> not_files = {directory.path(), "/dev/null"};
#else
    const std::string fifo = directory.file("fifo.jpg");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::vector<std::string> not_files = {fifo, directory.path(), "/dev/null"};
#endif
    for (const std::string& path : not_files) {
        file = data_file_open(path.c_str());
        EXPECT_EQ(file.stream, nullptr) << path;
        EXPECT_STREQ(file.reason, "not a regular file") << path;
    }

    file = data_file_open(directory.file("missing.jpg").c_str());
    EXPECT_EQ(file.stream, nullptr);
    EXPECT_STREQ(file.reason, std::strerror(ENOENT));
}

}  // namespace
