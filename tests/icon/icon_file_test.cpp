#include <gtest/gtest.h>

#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "icon_file.h"

namespace {

std::uint32_t read16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | b[at + 1] << 8; }

std::uint32_t read32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return read16(b, at) | read16(b, at + 2) << 16;
}

// A picture whose every pixel tells where it is: red the column, green the row, blue a constant,
// so that a flipped, mirrored or channel-swapped bitmap shows.
IconImage positions(int side)
{
    IconImage image{side, {}};
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.rgb.insert(image.rgb.end(), {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 200});
    return image;
}

TEST(IconFile, HoldsEachSizeInOrderWithBitmapsBottomUpInBlueGreenRedAndA256Png)
{
    const int sides[] = {16, 32, 48, 256};
    std::vector<IconImage> images;
    for (int side : sides)
        images.push_back(positions(side));
    std::string error;
    const auto ico = icon_file_bytes(images, &error);
    ASSERT_FALSE(ico.empty()) << error;

    EXPECT_EQ(read16(ico, 0), 0u);
    EXPECT_EQ(read16(ico, 2), 1u) << "type 1 is an icon";
    ASSERT_EQ(read16(ico, 4), 4u);
    std::size_t next = 6 + 16 * 4;
    for (int i = 0; i < 4; ++i) {
        const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
        const int side = sides[i];
        SCOPED_TRACE("side " + std::to_string(side));
        EXPECT_EQ(ico[entry], side == 256 ? 0 : side) << "0 stands for 256";
        EXPECT_EQ(ico[entry + 1], side == 256 ? 0 : side);
        EXPECT_EQ(read16(ico, entry + 6), 32u);
        const std::uint32_t size = read32(ico, entry + 8);
        const std::uint32_t offset = read32(ico, entry + 12);
        EXPECT_EQ(offset, next) << "images follow each other with no gap";
        next = offset + size;
        ASSERT_LE(next, ico.size());

        if (side == 256) {
            const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
            ASSERT_EQ(std::memcmp(&ico[offset], signature, 8), 0) << "the 256 image is a PNG";
            png_image png;
            std::memset(&png, 0, sizeof png);
            png.version = PNG_IMAGE_VERSION;
            ASSERT_NE(png_image_begin_read_from_memory(&png, &ico[offset], size), 0) << png.message;
            png.format = PNG_FORMAT_RGB;
            std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(png));
            ASSERT_NE(png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr), 0) << png.message;
            EXPECT_EQ(png.width, 256u);
            EXPECT_EQ(rgb, images[3].rgb);
            continue;
        }
        // Header: 40 bytes, twice the height (colour rows, then the mask's), 32 bits, uncompressed.
        EXPECT_EQ(read32(ico, offset), 40u);
        EXPECT_EQ(read32(ico, offset + 4), static_cast<std::uint32_t>(side));
        EXPECT_EQ(read32(ico, offset + 8), static_cast<std::uint32_t>(2 * side));
        EXPECT_EQ(read16(ico, offset + 14), 32u);
        EXPECT_EQ(read32(ico, offset + 16), 0u);
        const std::uint32_t mask_row = (side + 31) / 32 * 4;
        EXPECT_EQ(size, 40 + static_cast<std::uint32_t>(side * side * 4) + mask_row * side);
        // The file's first row is the picture's last.
        const std::size_t pixels = offset + 40;
        const auto texel = [&](int file_row, int x, int channel) {
            return ico[pixels + (static_cast<std::size_t>(file_row) * side + x) * 4 + channel];
        };
        EXPECT_EQ(texel(0, 3, 0), 200) << "blue first";
        EXPECT_EQ(texel(0, 3, 1), side - 1) << "green: the picture's last row";
        EXPECT_EQ(texel(0, 3, 2), 3) << "red: the column";
        EXPECT_EQ(texel(side - 1, side - 1, 1), 0) << "the file's last row is the picture's first";
        EXPECT_EQ(texel(side - 1, side - 1, 3), 255) << "opaque";
        for (std::uint32_t i = 0; i < mask_row * side; ++i)
            ASSERT_EQ(ico[pixels + side * side * 4 + i], 0) << "a clear mask: every pixel shows";
    }
    EXPECT_EQ(next, ico.size());
}

}  // namespace
