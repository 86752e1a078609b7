#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fx/effect.h"
#include "fx/fade_kernels.h"
#include "fx/frame.h"
#include "fx/kernels.h"

// One row of an effect frame made in one go, in one variant per instruction set: the picture's
// row copied, the effect's texels blended into every third pixel, and faded, while the row is in
// the first-level cache. All give exactly what copy_frame, render_interference and fade_to_black
// give for that row.

// The two windows' table entries for the row's dots, back to back (fx/dot_table.h), and the
// frame's scroll.
struct EffectRow {
    const std::uint16_t* a;
    const std::uint16_t* b;
    std::uint16_t scroll;
};

// One pixel: blended with the texel that the two entries pick when it is a dot, then faded. The
// index is one 16-bit subtraction, as in render_interference.
inline std::uint32_t effect_row_pixel(std::uint32_t pixel, bool dot, std::uint16_t a, std::uint16_t b,
                                      std::uint16_t scroll, std::uint8_t level)
{
    if (dot)
        pixel = blend_half(pixel, g_effect_texture[static_cast<std::uint16_t>(b - a - scroll)]);
    return fade_pixel(pixel, level);
}

// Writes target[j] = effect_row_pixel(source[j], j % 3 == 0, row.a[j / 3], row.b[j / 3],
// row.scroll, level) for j below count; source and target are apart.
using EffectRowKernel = void (*)(const std::uint32_t* source, std::uint32_t* target, std::size_t count,
                                 const EffectRow& row, std::uint8_t level);
using EffectRowKernelInfo = Kernel<EffectRowKernel>;

// Every variant built in, widest first.
std::span<const EffectRowKernelInfo> effect_row_kernels();

// The widest supported variant; chosen once, on first use.
EffectRowKernel best_effect_row_kernel();
