#pragma once

#include <cstdint>
#include <vector>

// The largest centred square of an RGB picture (3 bytes a pixel, rows back to back), scaled to
// side x side by area averaging: each icon pixel is the exact mean of the picture area it covers,
// so flat regions keep their colour and the picture's mean brightness is kept.
std::vector<std::uint8_t> square_icon(const std::uint8_t* rgb, int width, int height, int side);
