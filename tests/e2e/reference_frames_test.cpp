#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "demo_data_sets.h"
#include "platform/web/frame_hash.h"
#include "run_command.h"
#include "show_digest.h"
#include "show/frame_count.h"
#include "temp_dir.h"

namespace {

constexpr std::size_t k_frame_bytes = 1228800;

std::string read_text(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The capture tool's frames against the plain reference renderer's (tests/oracle/), which
// copies, draws the effect and fades in separate whole-frame passes: every frame of the show,
// frame by frame, at the recorded digest's rate (against the build's capture), below it and above it.
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
    const std::string reference_count = scratch.file("reference.txt");
    std::FILE* reference = open_command(std::string(VELMORASTIK_REFERENCE_SHOW) + " " + set + " " +
                                        std::to_string(fps) + " - 2>" + reference_count);
    ASSERT_NE(reference, nullptr);
    std::vector<std::uint8_t> plain(k_frame_bytes);
    std::uint64_t frames = 0;
#ifdef VELMORASTIK_SHOW_FRAMES
    if (fps == 60) {
        // The build's one capture at this rate, frame by frame as hashes (show_frames.cpp).
        const ShowFrames ours = read_show_frames(VELMORASTIK_SHOW_FRAMES);
        ASSERT_EQ(ours.hashes.size(), ours.frames) << VELMORASTIK_SHOW_FRAMES << " is not whole";
        while (std::fread(plain.data(), 1, k_frame_bytes, reference) == k_frame_bytes) {
            ASSERT_LT(frames, ours.frames) << "the plain renderer draws more frames than the capture";
            ASSERT_EQ(hash_text(fnv1a_64(plain.data(), plain.size())), ours.hashes[frames])
                << "frame " << frames << " differs (velmorastik-capture --fps 60 --frames " << frames << " --raw -)";
            ++frames;
        }
        EXPECT_EQ(close_command(reference), 0);
        EXPECT_EQ(frames, ours.frames);
        EXPECT_EQ(read_text(reference_count), "frames: " + std::to_string(frames) + "\n");
        EXPECT_EQ(frames, show_frame_count(60));
        return;
    }
#endif
    const std::string capture_count = scratch.file("capture.txt");
    std::FILE* capture = open_command(std::string(VELMORASTIK_CAPTURE) + " -C " + set + " --fps " + std::to_string(fps) +
                                      " --raw - 2>" + capture_count);
    ASSERT_NE(capture, nullptr);
    std::vector<std::uint8_t> ours(k_frame_bytes);
    for (;;) {
        const std::size_t got_ours = std::fread(ours.data(), 1, k_frame_bytes, capture);
        const std::size_t got_plain = std::fread(plain.data(), 1, k_frame_bytes, reference);
        if (got_ours == 0 && got_plain == 0)
            break;
        ASSERT_EQ(got_ours, got_plain) << "frame " << frames << ": one stream ended before the other";
        ASSERT_EQ(got_ours, k_frame_bytes) << "frame " << frames << " is cut short";
        if (ours != plain) {
            std::size_t i = 0;
            while (ours[i] == plain[i])
                ++i;
            FAIL() << "frame " << frames << " differs first at pixel " << i / 4 << " (row " << i / 4 / 640 << ")";
        }
        ++frames;
    }
    EXPECT_EQ(close_command(capture), 0);
    EXPECT_EQ(close_command(reference), 0);
    EXPECT_EQ(read_text(capture_count), "frames: " + std::to_string(frames) + "\n");
    EXPECT_EQ(read_text(reference_count), "frames: " + std::to_string(frames) + "\n");
    // About 5.1 s a phase, 23 phases; the count the import and the page size the music by.
    EXPECT_NEAR(static_cast<double>(frames), 23 * 5.1 * fps, 23.0 * 2) << fps << " fps";
    EXPECT_EQ(frames, show_frame_count(static_cast<std::uint64_t>(fps))) << fps << " fps";
}

INSTANTIATE_TEST_SUITE_P(Rates, ReferenceFrames, testing::Values(25, 60, 144),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "fps"; });

}  // namespace
