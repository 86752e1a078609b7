#include "plain_frame.h"

#include <cstring>

#include "fx/effect.h"

void plain_copy(const Frame32& picture, Frame32& frame)
{
    std::memcpy(frame.pixels, picture.pixels, k_frame_bytes);
}

void plain_interference(Frame32& frame, int a_column, int a_row, int b_column, int b_row, std::uint16_t scroll)
{
    const int stride = 2 * k_frame_width;
    for (int i = 0; i < k_frame_height; i += 3)
        for (int j = 0; j < k_frame_width; j += 3) {
            const std::uint16_t a = g_polar_table[(a_row + i) * stride + a_column + j];
            const std::uint16_t b = g_polar_table[(b_row + i) * stride + b_column + j];
            const std::uint32_t texel = g_effect_texture[static_cast<std::uint16_t>(b - a - scroll)];
            std::uint32_t& pixel = frame.pixels[i * k_frame_width + j];
            pixel = ((pixel >> 1) & 0x7F7F7F7Fu) + ((texel >> 1) & 0x7F7F7F7Fu);
        }
}

void plain_fade(Frame32& frame, std::uint32_t amount)
{
    const std::uint32_t level = amount & 0xFFu;
    for (std::uint32_t& pixel : frame.pixels) {
        std::uint32_t result = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const std::uint32_t byte = (pixel >> shift) & 0xFFu;
            result |= (byte > level ? byte - level : 0u) << shift;
        }
        pixel = result;
    }
}
