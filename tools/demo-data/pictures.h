#pragma once

#include <cstdint>
#include <vector>

// The default data set's pictures, drawn procedurally: 640x480 RGB samples, rows back to back.

inline constexpr int k_picture_width = 640;
inline constexpr int k_picture_height = 480;
inline constexpr int k_picture_count = 12;

struct PictureInfo {
    const char* path;  // under data/
    const char* title;
};

// Index 0 is the intro background, 1 to 5 the first set, 6 to 11 the second set.
const PictureInfo& picture_info(int index);

std::vector<std::uint8_t> draw_picture(int index);

// The effect's 256x256 texture: red, green, blue per texel, 196,608 bytes. Tiles seamlessly,
// since the effect's index wraps around it.
std::vector<std::uint8_t> draw_texture();
