#pragma once

#include <cstdint>
#include <vector>

#include "fx/frame.h"
#include "show/timeline.h"

// The default data set's pictures, drawn procedurally: RGB samples of the frame's size, rows back
// to back.

inline constexpr int k_picture_width = k_frame_width;
inline constexpr int k_picture_height = k_frame_height;
inline constexpr int k_picture_count = 1 + k_first_set_count + k_second_set_count;

// What picture index shows, in a few words. The indices follow the show's table of pictures
// (data_set_pictures(), show/data_set.h): the intro, then the first set, then the second.
const char* picture_title(int index);

std::vector<std::uint8_t> draw_picture(int index);

// The effect's 256x256 texture: red, green, blue per texel, 196,608 bytes. Tiles seamlessly,
// since the effect's index wraps around it.
std::vector<std::uint8_t> draw_texture();
