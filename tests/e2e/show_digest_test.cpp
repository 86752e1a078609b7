#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "demo_data_sets.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

// FNV-1a over 64-bit little-endian words: one multiplication per 8 bytes, for the 8.7 GB of a
// whole show.
struct Digest {
    std::uint64_t value = 0xCBF29CE484222325u;
    void add(const std::uint8_t* bytes, std::size_t size)
    {
        for (std::size_t i = 0; i + 8 <= size; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            value = (value ^ word) * 0x100000001B3u;
        }
    }
};

// Every frame of the show played from the generated data set at 60 frames a second. The
// recorded values come from one run of the capture tool when this test was written; they
// change only when some frame of the show changes, which must then be deliberate. The Windows
// build, under Wine, must give the same values: its runtime's maths must not move a pixel.
TEST(WholeShow, EveryFrameAt60FpsMatchesTheRecordedDigest)
{
    constexpr std::uint64_t k_recorded_digest = 0xAB4E98BA8EDC8305u;
    constexpr int k_recorded_frames = 7067;

    const std::string sets = demo_data_sets(VELMORASTIK_MAKE_SETS, VELMORASTIK_DEMO_DATA);
    TempDir scratch;
    const std::string count_file = scratch.file("count.txt");
    const std::string command = std::string(VELMORASTIK_CAPTURE) + " -C " + sets + "/first --fps 60 --raw - 2>" + count_file;
    std::FILE* pipe = open_command(command);
    ASSERT_NE(pipe, nullptr);
    Digest digest;
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
}

}  // namespace
