// The capture tool on hostile or absent data folders: it reads the show's files through the show's
// own loader and effect, so what it does here is what the show does.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/output_file.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

// Runs the capture tool in folder with arguments, stopped after 20 s so that a hang fails (137).
CommandRun capture_in(const std::string& folder, const std::string& arguments)
{
    return run_command("cd '" + folder + "' && timeout -s KILL 20 " VELMORASTIK_CAPTURE " " + arguments + " 2>&1");
}

TEST(CaptureDataFiles, AFifoInPlaceOfTheTextureOrAPictureEndsAtOnceNamingIt)
{
    TempDir directory;
    const std::string data = directory.file("data");
    for (const char* sub : {"", "/gfx", "/gfx/misc"})
        ASSERT_EQ(mkdir((data + sub).c_str(), 0755), 0);

    ASSERT_EQ(mkfifo((data + "/lumo.raw").c_str(), 0644), 0);
    CommandRun run = capture_in(directory.path(), "--raw /dev/null --frames 0");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find("velmorastik-capture: cannot open: data/lumo.raw: not a regular file\n"),
              std::string::npos)
        << run.output;

    ASSERT_EQ(std::remove((data + "/lumo.raw").c_str()), 0);
    ASSERT_TRUE(output_write_whole(data + "/lumo.raw", std::vector<std::uint8_t>(196608)));
    ASSERT_EQ(mkfifo((data + "/gfx/misc/tzback.jpg").c_str(), 0644), 0);
    run = capture_in(directory.path(), "--raw /dev/null --frames 0");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find("velmorastik-capture: cannot open: data/gfx/misc/tzback.jpg: not a regular file\n"),
              std::string::npos)
        << run.output;
}

TEST(CaptureDataFiles, StartedAwayFromADataFolderItPlaysTheBuildsSetAndSaysSo)
{
    TempDir empty;
    const CommandRun run = capture_in(empty.path(), "--raw /dev/null --frames 0");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(
                  "velmorastik-capture: no data/ folder here; playing the build's data set " VELMORASTIK_BUILD_DATA_SET
                  "/data\n"),
              std::string::npos)
        << run.output;
}

}  // namespace
