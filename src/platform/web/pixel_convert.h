#pragma once

#include <cstdint>

// The frame is held as little-endian B, G, R, x words; a canvas takes R, G, B, A bytes. Converts
// height rows of width pixels (source rows pitch_pixels apart) into packed RGBA, alpha opaque.
void bgrx_to_rgba(const std::uint32_t* source, int width, int height, int pitch_pixels, std::uint8_t* rgba);
