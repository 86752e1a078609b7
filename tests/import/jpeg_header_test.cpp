// What a JPEG's header says it will cost to decode, as libjpeg reads it: every sampling layout's
// coefficients, and the frame the decoder will really decode whatever surrounds its header.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jpeg_header.h"
#include "jpeg_writer.h"

namespace {

// 100x75: neither side a whole number of blocks or of units, so every padding shows.
constexpr int k_width = 100;
constexpr int k_height = 75;

std::vector<std::uint8_t> progressive(int components, const char* sampling)
{
    const std::vector<std::uint8_t> samples(static_cast<std::size_t>(k_width) * k_height * components, 128);
    return encode_jpeg(samples.data(), k_width, k_height, components, {.progressive = true, .sampling = sampling});
}

// Where the first marker of the given kind starts, past the start-of-image marker.
std::size_t marker_at(const std::vector<std::uint8_t>& jpeg, std::uint8_t kind)
{
    for (std::size_t i = 2; i + 3 < jpeg.size(); i += 2 + (jpeg[i + 2] << 8 | jpeg[i + 3]))
        if (jpeg[i + 1] == kind)
            return i;
    return 0;
}

JpegHeader header_of(const std::vector<std::uint8_t>& jpeg)
{
    JpegHeader header;
    std::string reason;
    EXPECT_TRUE(read_jpeg_header(jpeg.data(), jpeg.size(), &header, &reason)) << reason;
    return header;
}

}  // namespace

// Blocks per component: ceil(100 * h / (8 * largest h)) across, ceil(75 * v / (8 * largest v))
// down, each rounded up to a whole number of the component's own factors; 128 bytes a block.
TEST(JpegHeader, CoefficientsFollowEachComponentsOwnSampling)
{
    struct Layout {
        int components;
        const char* sampling;
        long long blocks;
    };
    const Layout layouts[] = {
        {3, "1x1,1x1,1x1", 3 * 13 * 10},
        {3, "2x2,1x1,1x1", 14 * 10 + 2 * 7 * 5},
        {3, "2x1,1x1,1x1", 14 * 10 + 2 * 7 * 10},
        // All alike above 1x1: nothing is subsampled, each keeps every block.
        {3, "2x1,2x1,2x1", 3 * 14 * 10},
        {3, "1x2,1x2,1x2", 3 * 13 * 10},
        {4, "1x1,1x1,1x1,1x1", 4 * 13 * 10},
        {1, "1x1", 13 * 10},
    };
    for (const Layout& layout : layouts) {
        const JpegHeader header = header_of(progressive(layout.components, layout.sampling));
        EXPECT_EQ(header.width, k_width) << layout.sampling;
        EXPECT_EQ(header.height, k_height) << layout.sampling;
        EXPECT_EQ(header.components, layout.components) << layout.sampling;
        EXPECT_EQ(header.decode_bytes, layout.blocks * 128) << layout.sampling;
    }
    // One scan: rows are decoded as they come, counted as the whole picture.
    const std::vector<std::uint8_t> samples(std::size_t{k_width} * k_height * 3, 128);
    EXPECT_EQ(header_of(encode_jpeg(samples.data(), k_width, k_height, 3)).decode_bytes, 100 * 75 * 3);
}

// A stray byte before the frame header, which libjpeg skips, and a smaller frame header after
// the first scan, which it never reaches: the size read is the first frame's, the one decoded.
TEST(JpegHeader, TheFrameReadIsTheOneTheDecoderDecodes)
{
    std::vector<std::uint8_t> jpeg = progressive(3, "2x1,2x1,2x1");
    const std::size_t frame = marker_at(jpeg, 0xC2);
    ASSERT_NE(frame, 0u);
    std::vector<std::uint8_t> fake(jpeg.begin() + frame,
                                   jpeg.begin() + frame + 2 + (jpeg[frame + 2] << 8 | jpeg[frame + 3]));
    fake[5] = fake[7] = 0;
    fake[6] = fake[8] = 8;  // 8x8
    jpeg.insert(jpeg.end() - 2, fake.begin(), fake.end());
    jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(frame), 0x00);
    const JpegHeader header = header_of(jpeg);
    EXPECT_EQ(header.width, k_width);
    EXPECT_EQ(header.height, k_height);
    EXPECT_EQ(header.decode_bytes, 3 * 14 * 10 * 128);

    JpegHeader untouched;
    std::string reason;
    const std::vector<std::uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'J', 'P', 'E', 'G'};
    EXPECT_FALSE(read_jpeg_header(text.data(), text.size(), &untouched, &reason));
    EXPECT_EQ(reason, "Not a JPEG file: starts with 0x6e 0x6f");
    EXPECT_EQ(untouched.width, 0);
}
