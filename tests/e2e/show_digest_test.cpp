#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "demo_data_sets.h"
#include "run_command.h"
#include "show_frames.h"

namespace {

constexpr std::uint64_t k_recorded_digest = 0xAB4E98BA8EDC8305u;
constexpr std::uint64_t k_recorded_frames = 7067;

// Every frame of the show played from the generated data set at 60 frames a second. The
// recorded values come from one run of the capture tool when this test was written; they
// change only when some frame of the show changes, which must then be deliberate. The Windows
// build, under Wine, must give the same values: its runtime's maths must not move a pixel.
TEST(WholeShow, EveryFrameAt60FpsMatchesTheRecordedDigest)
{
#ifdef VELMORASTIK_SHOW_FRAMES
    // The native build captured the whole show once; its digest is read here.
    const ShowFrames frames = read_show_frames(VELMORASTIK_SHOW_FRAMES);
    const std::string whence = VELMORASTIK_SHOW_FRAMES;
#else
    const std::string sets = demo_data_sets(VELMORASTIK_MAKE_SETS, VELMORASTIK_DEMO_DATA);
    std::string command = VELMORASTIK_CAPTURE;
    command += " -C " + sets + "/first --fps 60 --hashes -";
    const CommandRun run = run_command(command);
    ASSERT_EQ(run.status, 0);
    const ShowFrames frames = parse_show_frames(run.output);
    const std::string whence = "the capture's hashes";
#endif
    ASSERT_EQ(frames.hashes.size(), frames.frames) << whence << " are not whole";
    EXPECT_EQ(frames.frames, k_recorded_frames);
    EXPECT_EQ(frames.digest, k_recorded_digest) << std::hex << "got 0x" << frames.digest;
}

}  // namespace
