#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fx/kernels.h"

// The whole-frame fade, in one variant per instruction set: each colour byte minus the level,
// floored at 0, the top byte cleared. All give the same bytes; the frame operations run the
// widest one the processor has.

// What one saturating byte subtraction per pixel takes away to do the whole fade at once:
// the colour bytes lose the level with a floor at 0, and the top byte loses 0xFF, which always
// leaves 0.
constexpr std::uint32_t fade_subtrahend(std::uint8_t level) { return 0xFF000000u | level * 0x010101u; }

// Writes source[i] faded by level to target[i]; source and target are the same or apart.
using FadeKernel = void (*)(const std::uint32_t* source, std::uint32_t* target, std::size_t count, std::uint8_t level);
using FadeKernelInfo = Kernel<FadeKernel>;

// Every variant built in, widest first.
std::span<const FadeKernelInfo> fade_kernels();

// The widest supported variant; chosen once, on first use.
FadeKernel best_fade_kernel();
