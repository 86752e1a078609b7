#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "demo_data_sets.h"
#include "run_command.h"
#include "show_digest.h"
#include "temp_dir.h"

namespace {

constexpr std::uint64_t k_recorded_digest = 0xAB4E98BA8EDC8305u;
constexpr int k_recorded_frames = 7067;

// Every frame of the show played from the generated data set at 60 frames a second. The
// recorded values come from one run of the capture tool when this test was written; they
// change only when some frame of the show changes, which must then be deliberate. The Windows
// build, under Wine, must give the same values: its runtime's maths must not move a pixel.
TEST(WholeShow, EveryFrameAt60FpsMatchesTheRecordedDigest)
{
#ifdef VELMORASTIK_SHOW_FRAMES
    // The native build captured the whole show once (show_frames.cpp); its digest is read here.
    const ShowFrames frames = read_show_frames(VELMORASTIK_SHOW_FRAMES);
    ASSERT_EQ(frames.hashes.size(), frames.frames) << VELMORASTIK_SHOW_FRAMES << " is not whole";
    EXPECT_EQ(frames.frames, std::uint64_t{k_recorded_frames});
    EXPECT_EQ(frames.digest, k_recorded_digest) << std::hex << "got 0x" << frames.digest;
#else
    const std::string sets = demo_data_sets(VELMORASTIK_MAKE_SETS, VELMORASTIK_DEMO_DATA);
    TempDir scratch;
    const std::string count_file = scratch.file("count.txt");
    const std::string command = std::string(VELMORASTIK_CAPTURE) + " -C " + sets + "/first --fps 60 --raw - 2>" + count_file;
    std::FILE* pipe = open_command(command);
    ASSERT_NE(pipe, nullptr);
    ShowDigest digest;
    std::uint64_t bytes = 0;
    std::vector<std::uint8_t> chunk(1 << 20);
    std::size_t n;
    // Whole chunks only, so that every word is hashed as it stands in the stream.
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        ASSERT_EQ(n % 8, 0u);
        digest.add(chunk.data(), n);
        bytes += n;
    }
    ASSERT_EQ(close_command(pipe), 0);

    char count[64] = {};
    std::FILE* file = std::fopen(count_file.c_str(), "r");
    ASSERT_NE(file, nullptr);
    ASSERT_NE(std::fgets(count, sizeof count, file), nullptr);
    std::fclose(file);
    EXPECT_EQ(std::string(count), "frames: " + std::to_string(k_recorded_frames) + "\n");
    EXPECT_EQ(bytes, std::uint64_t{k_recorded_frames} * 1228800u);
    EXPECT_EQ(digest.value, k_recorded_digest) << std::hex << "got 0x" << digest.value;
#endif
}

}  // namespace
