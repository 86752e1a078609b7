#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fx/kernels.h"

// One row of an effect frame made in one go, in one variant per instruction set: the picture's
// row copied, the effect's texels blended into every third pixel, and faded, while the row is in
// the first-level cache. All give exactly the row of the frame's plain definition (the picture
// copied, the effect drawn, faded), which the tests hold them to (tests/oracle/).

// The two windows' table entries for the row's dots, back to back (fx/dot_table.h), and the
// frame's scroll.
struct EffectRow {
    const std::uint16_t* a;
    const std::uint16_t* b;
    std::uint16_t scroll;
};

// For j below count: source[j] blended (blend_half) with the texel at index b - a - scroll, one
// 16-bit subtraction of row.a[j / 3] and row.b[j / 3], when j % 3 == 0, then faded by level as
// fade_to_black fades, into target[j]. source and target are apart.
using EffectRowKernel = void (*)(const std::uint32_t* source, std::uint32_t* target, std::size_t count,
                                 const EffectRow& row, std::uint8_t level);
using EffectRowKernelInfo = Kernel<EffectRowKernel>;

// Every variant built in, widest first.
std::span<const EffectRowKernelInfo> effect_row_kernels();

// The widest supported variant; chosen once, on first use.
EffectRowKernel best_effect_row_kernel();
