#pragma once

#include <cstdint>

// The frame is held as little-endian B, G, R, x words; a canvas takes R, G, B, A bytes. Converts
// height rows of width pixels (source rows pitch_pixels apart) into packed RGBA, alpha opaque.
void bgrx_to_rgba(const std::uint32_t* source, int width, int height, int pitch_pixels, std::uint8_t* rgba);

// A video's picture of a frame (B, G, R, x words, rows packed): I420 as players expect it, BT.709
// limited range. Writes width x height luma bytes, then the blue and the red difference planes at
// half the width and height, each sample the average of its 2x2 block. width and height are even.
void bgrx_to_i420_bt709(const std::uint32_t* source, int width, int height, std::uint8_t* i420);
