// The capture tool on hostile or absent data folders: it reads the show's files through the show's
// own loader and effect, so what it does here is what the show does.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "jpeg_writer.h"
#include "temp_dir.h"

namespace {

struct CaptureRun {
    int status;  // the exit status; 124 when it had to be stopped
    std::string said;  // stdout and stderr
};

// Runs the capture tool in folder with arguments, stopped after 20 s so that a hang fails.
CaptureRun capture_in(const std::string& folder, const std::string& arguments)
{
    const std::string command = "cd '" + folder + "' && timeout -s KILL 20 " VELMORASTIK_CAPTURE " " + arguments +
                                " 2>&1; echo \"status $?\"";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, n);
    pclose(pipe);
    const std::size_t last = output.rfind("status ");
    const int status = std::stoi(output.substr(last + 7));
    return {status == 137 ? 124 : status, output.substr(0, last)};
}

TEST(CaptureDataFiles, AFifoInPlaceOfTheTextureOrAPictureEndsAtOnceNamingIt)
{
    TempDir directory;
    const std::string data = directory.file("data");
    for (const char* sub : {"", "/gfx", "/gfx/misc"})
        ASSERT_EQ(mkdir((data + sub).c_str(), 0755), 0);

    ASSERT_EQ(mkfifo((data + "/lumo.raw").c_str(), 0644), 0);
    CaptureRun run = capture_in(directory.path(), "--raw /dev/null --frames 0");
    EXPECT_EQ(run.status, 2) << run.said;
    EXPECT_NE(run.said.find("velmorastik-capture: cannot open: data/lumo.raw: not a regular file\n"),
              std::string::npos)
        << run.said;

    ASSERT_EQ(std::remove((data + "/lumo.raw").c_str()), 0);
    ASSERT_TRUE(write_file(data + "/lumo.raw", std::vector<std::uint8_t>(196608)));
    ASSERT_EQ(mkfifo((data + "/gfx/misc/tzback.jpg").c_str(), 0644), 0);
    run = capture_in(directory.path(), "--raw /dev/null --frames 0");
    EXPECT_EQ(run.status, 2) << run.said;
    EXPECT_NE(run.said.find("velmorastik-capture: cannot open: data/gfx/misc/tzback.jpg: not a regular file\n"),
              std::string::npos)
        << run.said;
}

TEST(CaptureDataFiles, StartedAwayFromADataFolderItPlaysTheBuildsSetAndSaysSo)
{
    TempDir empty;
    const CaptureRun run = capture_in(empty.path(), "--raw /dev/null --frames 0");
    EXPECT_EQ(run.status, 0) << run.said;
    EXPECT_NE(run.said.find("velmorastik-capture: no data/ folder here; playing the build's data set "
                            VELMORASTIK_BUILD_DATA_SET "/data\n"),
              std::string::npos)
        << run.said;
}

}  // namespace
