#include "oracle_frame.h"

#include <cstring>

#include "fx/show_frame.h"

std::uint32_t oracle_fade_pixel(std::uint32_t pixel, std::uint8_t level)
{
    std::uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t byte = (pixel >> shift) & 0xFFu;
        result |= (byte > level ? byte - level : 0u) << shift;
    }
    return result;
}

std::uint32_t oracle_dot(std::uint32_t pixel, std::uint16_t a, std::uint16_t b, std::uint16_t scroll)
{
    const std::uint32_t texel = g_effect_texture[static_cast<std::uint16_t>(b - a - scroll)];
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8)
        result |= (((pixel >> shift) & 0xFFu) / 2 + ((texel >> shift) & 0xFFu) / 2) << shift;
    return result;
}

void oracle_copy(const Frame32& picture, Frame32& frame) { std::memcpy(frame.pixels, picture.pixels, k_frame_bytes); }

void oracle_draw_effect(Frame32& frame, const EffectWindows& windows, std::uint16_t scroll)
{
    for (int i = 0; i < k_frame_height; i += 3)
        for (int j = 0; j < k_frame_width; j += 3) {
            const std::uint16_t a = g_polar_table[(windows.a_row + i) * g_polar_stride + windows.a_column + j];
            const std::uint16_t b = g_polar_table[(windows.b_row + i) * g_polar_stride + windows.b_column + j];
            std::uint32_t& pixel = frame.pixels[i * k_frame_width + j];
            pixel = oracle_dot(pixel, a, b, scroll);
        }
}

void oracle_fade(Frame32& frame, std::uint32_t amount)
{
    for (std::uint32_t& pixel : frame.pixels)
        pixel = oracle_fade_pixel(pixel, static_cast<std::uint8_t>(amount & 0xFFu));
}

std::uint16_t oracle_effect_frame(Frame32& frame, const Frame32& picture, std::uint32_t amount,
                                  const EffectWindows& windows, std::uint16_t scroll)
{
    oracle_copy(picture, frame);
    oracle_draw_effect(frame, windows, scroll);
    oracle_fade(frame, amount);
    return static_cast<std::uint16_t>(scroll + k_scroll_step);
}

std::uint16_t oracle_show_frame(Frame32& frame, const Frame32& picture, std::uint32_t amount, double angle,
                                std::uint16_t scroll)
{
    if (angle != k_no_effect)
        return oracle_effect_frame(frame, picture, amount, effect_windows(angle), scroll);
    oracle_copy(picture, frame);
    oracle_fade(frame, amount);
    return scroll;
}
