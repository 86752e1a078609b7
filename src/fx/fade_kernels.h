#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fx/kernels.h"

// The whole-frame fade, in one variant per instruction set. All give exactly the result of
// fade_pixel for every pixel; the frame operations run the widest one the processor has.

// The definition: each colour byte minus level, floored at 0; the top byte becomes 0.
constexpr std::uint32_t fade_pixel(std::uint32_t pixel, std::uint8_t level)
{
    std::uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t byte = (pixel >> shift) & 0xFFu;
        result |= (byte >= level ? byte - level : 0u) << shift;
    }
    return result;
}

// What one saturating byte subtraction per pixel takes away to do the whole definition at once:
// the colour bytes lose the level with a floor at 0, and the top byte loses 0xFF, which always
// leaves 0.
constexpr std::uint32_t fade_subtrahend(std::uint8_t level)
{
    return 0xFF000000u | level * 0x010101u;
}

// Writes fade_pixel(source[i], level) to target[i]; source and target are the same or apart.
using FadeKernel = void (*)(const std::uint32_t* source, std::uint32_t* target, std::size_t count,
                            std::uint8_t level);
using FadeKernelInfo = Kernel<FadeKernel>;

// Every variant built in, widest first.
std::span<const FadeKernelInfo> fade_kernels();

// The widest supported variant; chosen once, on first use.
FadeKernel best_fade_kernel();
