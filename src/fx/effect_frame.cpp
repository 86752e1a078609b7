#include "fx/effect_frame.h"

#include "fx/fade_kernels.h"
#include "fx/frame.h"

void draw_effect_frame(const Frame32& picture, double angle, std::uint32_t amount)
{
    compose_effect_frame(picture, effect_windows(angle), amount, best_effect_row_kernel());
}

void compose_effect_frame(const Frame32& picture, const EffectWindows& windows, std::uint32_t amount,
                          EffectRowKernel effect_row)
{
    // The effect covers the frame: effect_init is called with the frame's size.
    const FadeKernel fade = best_fade_kernel();
    const auto level = static_cast<std::uint8_t>(amount & 0xFFu);
    const std::size_t stride = static_cast<std::size_t>(g_polar_stride);
    const std::uint16_t* a = g_polar_table + static_cast<std::size_t>(windows.a_row) * stride + windows.a_column;
    const std::uint16_t* b = g_polar_table + static_cast<std::size_t>(windows.b_row) * stride + windows.b_column;
    const std::uint32_t* source = picture.pixels;
    std::uint32_t* target = g_virtual_backbuffer->pixels;
    static_assert(k_frame_height % 3 == 0);
    // Rows in threes: one with dots, then two only faded, back to back.
    for (int i = 0; i < k_frame_height; i += 3) {
        effect_row(source, target, k_frame_width, {a, b, g_effect_scroll}, level);
        fade(source + k_frame_width, target + k_frame_width, 2 * k_frame_width, level);
        a += 3 * stride;
        b += 3 * stride;
        source += 3 * k_frame_width;
        target += 3 * k_frame_width;
    }
    g_effect_scroll = static_cast<std::uint16_t>(g_effect_scroll + k_scroll_step);
}
