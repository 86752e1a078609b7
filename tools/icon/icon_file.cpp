#include "icon_file.h"

#include <png.h>

#include <cstring>

namespace {

void put16(std::vector<std::uint8_t>& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// An icon's bitmap: the header says twice the height, as the colour rows are followed by the
// transparency mask's (one bit a pixel, rows padded to 4 bytes, all clear: every pixel shows).
// Rows run bottom-up, each pixel blue, green, red, alpha.
std::vector<std::uint8_t> bitmap_bytes(const IconImage& image)
{
    const int side = image.side;
    const std::uint32_t mask_row = static_cast<std::uint32_t>((side + 31) / 32 * 4);
    const std::uint32_t pixel_bytes = static_cast<std::uint32_t>(side) * side * 4;
    std::vector<std::uint8_t> out;
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(side));
    put32(out, static_cast<std::uint32_t>(side) * 2);
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);  // no compression
    put32(out, pixel_bytes + mask_row * side);
    for (int i = 0; i < 4; ++i)
        put32(out, 0);  // resolution and palette: none
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; ++x) {
            const std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y) * side + x) * 3];
            out.insert(out.end(), {p[2], p[1], p[0], 0xFF});
        }
    out.resize(out.size() + static_cast<std::size_t>(mask_row) * side, 0);
    return out;
}

}  // namespace

std::vector<std::uint8_t> png_file_bytes(const IconImage& image, std::string* error)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.side);
    png.height = static_cast<png_uint_32>(image.side);
    png.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    // The first call measures, the second writes.
    if (png_image_write_to_memory(&png, nullptr, &size, 0, image.rgb.data(), 0, nullptr) == 0) {
        *error = png.message;
        return {};
    }
    std::vector<std::uint8_t> out(size);
    if (png_image_write_to_memory(&png, out.data(), &size, 0, image.rgb.data(), 0, nullptr) == 0) {
        *error = png.message;
        return {};
    }
    out.resize(size);
    return out;
}

std::vector<std::uint8_t> icon_file_bytes(const std::vector<IconImage>& images, std::string* error)
{
    constexpr std::size_t header = 6;
    constexpr std::size_t entry = 16;
    std::vector<std::uint8_t> out;
    put16(out, 0);
    put16(out, 1);  // an icon, not a cursor
    put16(out, static_cast<unsigned>(images.size()));
    out.resize(header + entry * images.size(), 0);
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        std::vector<std::uint8_t> data = image.side < 256 ? bitmap_bytes(image) : png_file_bytes(image, error);
        if (data.empty())
            return {};
        const std::size_t at = header + entry * i;
        // 0 stands for 256 in the one-byte width and height.
        out[at] = static_cast<std::uint8_t>(image.side & 0xFF);
        out[at + 1] = static_cast<std::uint8_t>(image.side & 0xFF);
        out[at + 4] = 1;   // planes
        out[at + 6] = 32;  // bits a pixel
        set32(out, at + 8, static_cast<std::uint32_t>(data.size()));
        set32(out, at + 12, static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}
