#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One square, opaque picture of an icon: side x side RGB pixels (3 bytes a pixel, rows back to back).
struct IconImage {
    int side;
    std::vector<std::uint8_t> rgb;
};

// The picture as a PNG file's bytes; empty when libpng fails, with its reason in *error.
std::vector<std::uint8_t> png_file_bytes(const IconImage& image, std::string* error);

// A Windows icon file holding the pictures in the order given, sides 1 to 256. Sides under 256
// are stored as 32-bit bitmaps, which every reader of the format takes; 256 as a PNG, as Windows
// stores its large icons (a bitmap that size would be a quarter of a megabyte). Empty when the
// PNG cannot be made, with the reason in *error.
std::vector<std::uint8_t> icon_file_bytes(const std::vector<IconImage>& images, std::string* error);
