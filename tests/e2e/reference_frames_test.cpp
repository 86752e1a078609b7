#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "demo_data_sets.h"
#include "run_command.h"
#include "show/frame_count.h"
#include "show_frames.h"
#include "temp_dir.h"

namespace {

// The capture tool's frames against the plain reference renderer's (tests/oracle/), which
// copies, draws the effect and fades in separate whole-frame passes: every frame of the show,
// frame by frame by their hashes, at the recorded digest's rate (against the build's capture),
// below it and above it. The hashes are taken where the frames are drawn: moving the frames
// themselves through pipes cost the machine twenty times the drawing.
class ReferenceFrames : public testing::TestWithParam<int> {};

TEST_P(ReferenceFrames, EveryFrameOfTheCaptureEqualsThePlainRenderers)
{
    const int fps = GetParam();
#ifdef VELMORASTIK_SANITIZED
    // The frame path is the same at every rate; the sanitizers see all of it at 60 fps, and the
    // other rates would triple the time of their slow build.
    if (fps != 60)
        GTEST_SKIP() << "one rate is enough under the sanitizers";
#endif
    const std::string set = demo_data_sets(VELMORASTIK_MAKE_SETS, VELMORASTIK_DEMO_DATA) + "/first";
    TempDir scratch;
    const std::string plain_file = scratch.file("plain.txt");
    // The plain renderer draws while the capture does, each on a core.
    std::FILE* reference = open_command(std::string(VELMORASTIK_REFERENCE_SHOW) + " " + set + " " +
                                        std::to_string(fps) + " >" + plain_file);
    ASSERT_NE(reference, nullptr);
    ShowFrames ours;
    bool captured = false;
#ifdef VELMORASTIK_SHOW_FRAMES
    if (fps == 60) {
        ours = read_show_frames(VELMORASTIK_SHOW_FRAMES);  // the build's one capture at this rate
        captured = true;
    }
#endif
    if (!captured) {
        const CommandRun capture = run_command(std::string(VELMORASTIK_CAPTURE) + " -C " + set + " --fps " +
                                               std::to_string(fps) + " --hashes -");
        EXPECT_EQ(capture.status, 0);
        ours = parse_show_frames(capture.output);
    }
    ASSERT_EQ(close_command(reference), 0);
    const ShowFrames plain = read_show_frames(plain_file);
    ASSERT_EQ(ours.hashes.size(), ours.frames) << "the capture's hashes are not whole";
    ASSERT_EQ(plain.hashes.size(), plain.frames) << "the plain renderer's hashes are not whole";

    for (std::size_t i = 0; i < ours.hashes.size() && i < plain.hashes.size(); ++i)
        ASSERT_EQ(ours.hashes[i], plain.hashes[i])
            << "frame " << i << " differs: compare velmorastik-capture -C " << set << " --fps " << fps << " --frames "
            << i << " --raw - with that frame of velmorastik-reference-show " << set << " " << fps << " -";
    EXPECT_EQ(ours.frames, plain.frames);
    EXPECT_EQ(ours.digest, plain.digest);
    // About 5.1 s a phase, 23 phases; the count the import and the page size the music by.
    EXPECT_NEAR(static_cast<double>(ours.frames), 23 * 5.1 * fps, 23.0 * 2) << fps << " fps";
    EXPECT_EQ(ours.frames, show_frame_count(static_cast<std::uint64_t>(fps))) << fps << " fps";
}

INSTANTIATE_TEST_SUITE_P(Rates, ReferenceFrames, testing::Values(25, 60, 144),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "fps"; });

}  // namespace
