#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fx/kernels.h"

// Turns count RGB sample triples into 0xFFRRGGBB pixels, in one variant per instruction set.
using RepackKernel = void (*)(const std::uint8_t* rgb, std::uint32_t* pixels, std::size_t count);
using RepackKernelInfo = Kernel<RepackKernel>;

// Every variant built in, widest first.
std::span<const RepackKernelInfo> repack_kernels();

// Called once per loaded picture, with the widest supported variant.
void repack_rgb(const std::uint8_t* rgb, std::uint32_t* pixels, std::size_t count);
