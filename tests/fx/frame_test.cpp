#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fx/fade_kernels.h"
#include "fx/frame.h"
#include "fx/stream_copy.h"
#include "oracle_frame.h"

namespace {

// Gives every test its own virtual backbuffer, as start-up does.
class FrameTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_virtual_backbuffer = allocate_frame();
        ASSERT_NE(g_virtual_backbuffer, nullptr);
    }
    void TearDown() override
    {
        free_frame(g_virtual_backbuffer);
        g_virtual_backbuffer = nullptr;
    }

    std::uint32_t* pixels() { return g_virtual_backbuffer->pixels; }

    void fill(std::uint32_t value)
    {
        for (std::size_t i = 0; i < k_frame_pixels; ++i)
            pixels()[i] = value;
    }

    // The same value everywhere, or the first pixel that differs.
    testing::AssertionResult all_equal(std::uint32_t expected)
    {
        for (std::size_t i = 0; i < k_frame_pixels; ++i)
            if (pixels()[i] != expected)
                return testing::AssertionFailure()
                       << "pixel " << i << ": expected 0x" << std::hex << expected << ", got 0x" << pixels()[i];
        return testing::AssertionSuccess();
    }
};

TEST_F(FrameTest, FadeAmountsFromTheDefinition)
{
    fill(0xFF123456);
    fade_to_black(0);
    EXPECT_TRUE(all_equal(0x00123456)) << "amount 0 keeps the colours and clears the top byte";

    fill(0xFFFFFFFF);
    fade_to_black(255);
    EXPECT_TRUE(all_equal(0)) << "amount 255 is black";

    fill(0xFF806432);
    fade_to_black(100);
    EXPECT_TRUE(all_equal(0x001C0000)) << "red 128 -> 28, green 100 -> 0, blue 50 -> 0";

    fill(0xFF123456);
    fade_to_black(256);
    EXPECT_TRUE(all_equal(0x00123456)) << "only the low 8 bits count: 256 acts as 0";

    fill(0xFF806432);
    fade_to_black(356);
    EXPECT_TRUE(all_equal(0x001C0000)) << "356 acts as 100";
}

// Whole-frame passes alternate their direction from call to call, so each case runs twice.
TEST_F(FrameTest, FadeReachesEveryPixelOfTheFrame)
{
    for (int pass = 0; pass < 2; ++pass) {
        fill(0xFF010203);
        pixels()[0] = 0xFFFFFFFF;
        pixels()[k_frame_pixels - 1] = 0xFFFFFFFF;
        fade_to_black(2);
        EXPECT_EQ(pixels()[0], 0x00FDFDFDu);
        EXPECT_EQ(pixels()[1], 0x00000001u);
        EXPECT_TRUE(
            std::all_of(pixels() + 1, pixels() + k_frame_pixels - 1, [](std::uint32_t p) { return p == 0x00000001u; }));
        EXPECT_EQ(pixels()[k_frame_pixels - 1], 0x00FDFDFDu);
    }
}

TEST_F(FrameTest, CopyFadedFrameEqualsACopyThenAFade)
{
    static Frame32 source;
    static Frame32 expected;
    for (std::size_t i = 0; i < k_frame_pixels; ++i)
        source.pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    const Frame32 original = source;
    for (std::uint32_t amount : {0u, 1u, 100u, 254u, 255u, 356u}) {
        oracle_copy(source, expected);
        oracle_fade(expected, amount);
        // Twice, as whole-frame passes alternate their direction from call to call.
        for (int pass = 0; pass < 2; ++pass) {
            fill(0xABCDEF01);
            copy_faded_frame(source, amount);
            ASSERT_TRUE(std::equal(expected.pixels, expected.pixels + k_frame_pixels, pixels()))
                << "amount " << amount << ", pass " << pass;
        }
    }
    EXPECT_EQ(std::memcmp(source.pixels, original.pixels, k_frame_bytes), 0) << "the picture is never drawn on";
}

// The timeline fades a fade-out's frames further in place rather than from the picture again.
TEST_F(FrameTest, FadingAFadedFrameFurtherEqualsFadingThePictureByTheSum)
{
    static Frame32 source;
    for (std::size_t i = 0; i < k_frame_pixels; ++i)
        source.pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) | (i % 2 ? 0xFF000000u : 0u);
    for (std::uint32_t first : {0u, 1u, 37u, 128u, 254u})
        for (std::uint32_t then : {0u, 1u, 2u, 100u}) {
            if (first + then > 255)
                continue;
            copy_faded_frame(source, first + then);
            const std::vector<std::uint32_t> expected(pixels(), pixels() + k_frame_pixels);
            copy_faded_frame(source, first);
            fade_to_black(then);
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), pixels())) << first << " then " << then;
        }
}

TEST(BlendHalf, HalvesEveryByteWithoutCarry)
{
    EXPECT_EQ(blend_half(0xFF804020, 0x00204080), 0x7F504050u);
    EXPECT_EQ(blend_half(0xFF123456, 0), 0x7F091A2Bu);
    EXPECT_EQ(blend_half(0x00010101, 0x00010101), 0u) << "both odd: one less than the average";
    EXPECT_EQ(blend_half(0xFFFFFFFF, 0xFFFFFFFF), 0xFEFEFEFEu);
}

TEST(FadeDefinition, SubtractsWithAFloorPerChannel)
{
    EXPECT_EQ(oracle_fade_pixel(0xFF806432, 100), 0x001C0000u);
    EXPECT_EQ(oracle_fade_pixel(0xAB646464, 100), 0u) << "a byte equal to the level becomes 0";
    EXPECT_EQ(oracle_fade_pixel(0x00FF0001, 1), 0x00FE0000u);
}

// Pixels whose every channel runs through all 256 values against its neighbours' values.
std::vector<std::uint32_t> varied_pixels()
{
    std::vector<std::uint32_t> result;
    for (std::uint32_t i = 0; i < 256; ++i)
        for (std::uint32_t j = 0; j < 256; j += 15)
            result.push_back((i * 7 + j) % 256 << 24 | i << 16 | j << 8 | (255 - i));
    std::uint32_t state = 12345;
    for (int i = 0; i < 1000; ++i) {
        state = state * 1664525u + 1013904223u;
        result.push_back(state);
    }
    return result;
}

TEST(FadeKernels, EveryKernelMatchesTheDefinitionForEveryLevel)
{
    const std::vector<std::uint32_t> input = varied_pixels();
    int tested = 0;
    for (const FadeKernelInfo& kernel : fade_kernels()) {
        if (!kernel.supported) {
            std::printf("kernel %s: not supported on this processor, skipped\n", kernel.name);
            continue;
        }
        ++tested;
        for (int level = 0; level < 256; ++level) {
            // Odd offsets and lengths reach the unaligned starts and the scalar tails; the kernel
            // runs in place and from a separate source.
            for (std::size_t offset : {0u, 1u, 3u})
                for (bool in_place : {true, false}) {
                    std::vector<std::uint32_t> data = input;
                    std::vector<std::uint32_t> target(input.size(), 0xDEADBEEF);
                    std::vector<std::uint32_t>& out = in_place ? data : target;
                    const std::size_t count = data.size() - offset - (level % 29);
                    kernel.run(data.data() + offset, out.data() + offset, count, static_cast<std::uint8_t>(level));
                    for (std::size_t i = 0; i < data.size(); ++i) {
                        const bool inside = i >= offset && i < offset + count;
                        const std::uint32_t outside = in_place ? input[i] : 0xDEADBEEF;
                        const std::uint32_t expected = inside ? oracle_fade_pixel(input[i],
                                                                                  static_cast<std::uint8_t>(level))
                                                              : outside;
                        ASSERT_EQ(out[i], expected)
                            << kernel.name << (in_place ? " in place" : " apart") << " level " << level << " offset "
                            << offset << " pixel " << i << " was 0x" << std::hex << input[i];
                    }
                    if (!in_place) {
                        ASSERT_EQ(data, input) << kernel.name << ": the source is left alone";
                    }
                }
        }
    }
    EXPECT_GE(tested, 2) << "at least the portable and the SSE2 kernels run everywhere";
}

TEST(FadeKernels, TheChosenKernelIsTheWidestSupported)
{
    for (const FadeKernelInfo& kernel : fade_kernels())
        if (kernel.supported) {
            EXPECT_EQ(best_fade_kernel(), kernel.run) << kernel.name;
            break;
        }
}

// Every alignment of the destination, rows shorter than the streamed block, one byte past it and
// the frame's own: the rows arrive byte for byte and the gaps between them stay as they were.
TEST(StreamRows, CopiesEveryRowExactlyWhateverTheAlignment)
{
    constexpr std::size_t k_pitch = 2688;
    constexpr int k_rows = 3;
    std::vector<unsigned char> source(k_rows * k_pitch);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<unsigned char>(i * 7 + i / 251);
    for (const std::size_t row_bytes : {0, 1, 15, 63, 64, 65, 79, 80, 2559, 2560}) {
        for (std::size_t offset = 0; offset < 16; ++offset) {
            std::vector<unsigned char> memory(16 + k_rows * k_pitch, 0xAB);
            unsigned char* const destination = memory.data() +
                                               (16 - reinterpret_cast<std::uintptr_t>(memory.data()) % 16) % 16 +
                                               offset;
            stream_rows(destination, k_pitch, source.data(), k_pitch, row_bytes, k_rows);
            for (int row = 0; row < k_rows; ++row) {
                const unsigned char* written = destination + row * k_pitch;
                ASSERT_EQ(std::memcmp(written, source.data() + row * k_pitch, row_bytes), 0)
                    << row_bytes << " bytes at offset " << offset << ", row " << row;
                if (row + 1 < k_rows) {
                    ASSERT_TRUE(std::all_of(written + row_bytes, written + k_pitch,
                                            [](unsigned char byte) { return byte == 0xAB; }))
                        << row_bytes << " bytes at offset " << offset << ", row " << row;
                }
            }
        }
    }
}

}  // namespace
