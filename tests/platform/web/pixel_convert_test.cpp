#include "platform/web/pixel_convert.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
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

// The video's planes: the primaries' and greys' BT.709 limited-range values as tables give them,
// each 2x2 block one colour sample; then a whole frame against the formula in floating point.
TEST(PixelConvert, MakesBt709LimitedRangeI420)
{
    // Black, white, red, green, blue, each a 2x2 block of a 10x2 picture: Y, then Cb, Cr.
    const std::array<std::uint32_t, 5> colours = {0x000000u, 0xffffffu, 0xff0000u, 0x00ff00u, 0x0000ffu};
    std::vector<std::uint32_t> source(20);
    for (int i = 0; i < 20; ++i)
        source[i] = colours[(i % 10) / 2];
    std::vector<std::uint8_t> planes(20 + 5 + 5);
    bgrx_to_i420_bt709(source.data(), 10, 2, planes.data());
    const std::vector<std::uint8_t> expected = {
        16, 16,  235, 235, 63, 63,  173, 173, 32, 32,  16,  16,  235, 235, 63,
        63, 173, 173, 32,  32, 128, 128, 102, 42, 240, 128, 128, 240, 26,  118,
    };
    EXPECT_EQ(planes, expected);

    constexpr int k_width = 640;
    constexpr int k_height = 480;
    std::vector<std::uint32_t> frame(k_width * k_height);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint32_t>(i * 2654435761u);
    std::vector<std::uint8_t> i420(k_width * k_height * 3 / 2);
    bgrx_to_i420_bt709(frame.data(), k_width, k_height, i420.data());
    const auto rgb = [&](int x, int y, int shift) { return (frame[y * k_width + x] >> shift) & 0xff; };
    for (int y = 0; y < k_height; ++y)
        for (int x = 0; x < k_width; ++x) {
            const double luma = 0.2126 * rgb(x, y, 16) + 0.7152 * rgb(x, y, 8) + 0.0722 * rgb(x, y, 0);
            ASSERT_LE(std::abs(i420[y * k_width + x] - (16 + 219 * luma / 255)), 0.51) << x << "," << y;
        }
    const std::uint8_t* cb = i420.data() + k_width * k_height;
    const std::uint8_t* cr = cb + k_width * k_height / 4;
    for (int y = 0; y < k_height; y += 2)
        for (int x = 0; x < k_width; x += 2) {
            double r = 0, g = 0, b = 0;
            for (int k = 0; k < 4; ++k) {
                r += rgb(x + k % 2, y + k / 2, 16) / 4.0;
                g += rgb(x + k % 2, y + k / 2, 8) / 4.0;
                b += rgb(x + k % 2, y + k / 2, 0) / 4.0;
            }
            const double luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
            const int at = y / 2 * k_width / 2 + x / 2;
            ASSERT_LE(std::abs(cb[at] - (128 + 224 * (b - luma) / 1.8556 / 255)), 0.51) << x << "," << y;
            ASSERT_LE(std::abs(cr[at] - (128 + 224 * (r - luma) / 1.5748 / 255)), 0.51) << x << "," << y;
        }
}

}  // namespace
