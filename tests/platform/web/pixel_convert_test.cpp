#include "platform/web/pixel_convert.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

// B, G, R, x in memory becomes R, G, B, 255, whatever the unused byte held.
TEST(PixelConvert, SwapsRedAndBlueAndMakesEveryPixelOpaque)
{
    const std::array<std::uint32_t, 4> source = {0x00112233u, 0xffa0b0c0u, 0x00000000u, 0x7fffffffu};
    std::array<std::uint8_t, 16> rgba = {};
    bgrx_to_rgba(source.data(), 4, 1, 4, rgba.data());
    const std::array<std::uint8_t, 16> expected = {
        0x11, 0x22, 0x33, 0xff, 0xa0, 0xb0, 0xc0, 0xff, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff,
    };
    EXPECT_EQ(rgba, expected);
}

// A source wider than the picture (a surface's pitch): the padding is skipped and the output is
// packed row after row.
TEST(PixelConvert, SkipsTheSourcePitchPaddingAndPacksTheRows)
{
    const std::uint32_t pad = 0x00abcdefu;
    const std::vector<std::uint32_t> source = {
        0x00010203u, 0x00040506u, pad, 0x00070809u, 0x000a0b0cu, pad,
    };
    std::vector<std::uint8_t> rgba(2 * 2 * 4 + 4, 0x5a);
    bgrx_to_rgba(source.data(), 2, 2, 3, rgba.data());
    const std::vector<std::uint8_t> expected = {
        0x01, 0x02, 0x03, 0xff, 0x04, 0x05, 0x06, 0xff, 0x07, 0x08,
        0x09, 0xff, 0x0a, 0x0b, 0x0c, 0xff, 0x5a, 0x5a, 0x5a, 0x5a,  // nothing written past the frame
    };
    EXPECT_EQ(rgba, expected);
}

// Every value of every channel lands in its place: a frame's worth of pixels, checked byte by byte.
TEST(PixelConvert, KeepsEveryChannelValueOfAWholeFrame)
{
    constexpr int k_width = 640;
    constexpr int k_height = 480;
    std::vector<std::uint32_t> source(k_width * k_height);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<std::uint32_t>(i * 2654435761u);
    std::vector<std::uint8_t> rgba(source.size() * 4);
    bgrx_to_rgba(source.data(), k_width, k_height, k_width, rgba.data());
    for (std::size_t i = 0; i < source.size(); ++i) {
        const std::uint32_t p = source[i];
        ASSERT_EQ(rgba[4 * i], (p >> 16) & 0xff) << i;
        ASSERT_EQ(rgba[4 * i + 1], (p >> 8) & 0xff) << i;
        ASSERT_EQ(rgba[4 * i + 2], p & 0xff) << i;
        ASSERT_EQ(rgba[4 * i + 3], 0xff) << i;
    }
}

}  // namespace
