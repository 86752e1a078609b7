#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Pictures written with libvips for the import to read, and its JPEGs read back.

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};

// 8-bit samples, rows back to back, bands (1 to 4) a pixel.
struct Picture {
    int width = 0;
    int height = 0;
    int bands = 3;
    std::vector<std::uint8_t> samples;

    Picture(int width, int height, int bands = 3);
    // Fills the rectangle with one value (bands values).
    void fill(int x, int y, int w, int h, std::vector<std::uint8_t> value);
    std::uint8_t* at(int x, int y) { return samples.data() + (static_cast<std::size_t>(y) * width + x) * bands; }
};

// Saves the picture by its name's suffix; libvips' save options may follow in brackets, as in
// "a.webp[lossless]". An orientation of 1 to 8 is written as the EXIF orientation. False, with
// libvips' message on stderr, when it cannot.
bool save_picture(const Picture& picture, const std::string& path, int orientation = 0);

// Saves an RGB picture as a 16-bit PNG; samples are 16-bit, rows back to back.
bool save_picture_16bit(const std::vector<std::uint16_t>& samples, int width, int height, const std::string& path);

// Converts an sRGB picture to Display P3, saves it with that profile embedded and returns the
// converted samples (empty when it cannot).
std::vector<std::uint8_t> save_in_display_p3(const Picture& picture, const std::string& path);

// Saves a width x height progressive JPEG of diagonal stripes in every colour, streamed to the
// file, for pictures too large to hold.
bool save_large_photo(const std::string& path, int width, int height);

// The JPEG's frame is baseline (SOF0): neither progressive nor extended.
bool is_baseline_jpeg(const std::vector<std::uint8_t>& jpeg);
