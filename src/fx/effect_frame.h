#pragma once

#include <cstdint>

#include "fx/effect.h"
#include "fx/effect_kernels.h"

struct Frame32;

// An effect frame in one walk over the virtual backbuffer. It is defined as three passes: the
// picture copied, the effect drawn over it (every third pixel of every third row blended with the
// texel that the two windows' table entries and the scroll pick), then the fade; this gives the
// same bytes and advances the scroll by k_scroll_step, while reading the picture and writing the
// frame only once.

// Called by draw_show_frame for every frame of the effect's transitions. held is the amount
// of the frame the virtual backbuffer holds when that is an effect frame of the same picture (-1
// when not): if amount is not below it, the rows without dots are faded further in place rather
// than made from the picture again, since fading by a and then by b clamps every byte as fading
// by a + b does.
void draw_effect_frame(const Frame32& picture, double angle, std::uint32_t amount, int held);

// The same for windows already placed, with a chosen row kernel: the tests and benchmarks run each
// variant through it. Windows must lie within 0..W columns and 0..H rows; not checked.
void compose_effect_frame(const Frame32& picture, const EffectWindows& windows, std::uint32_t amount, int held,
                          EffectRowKernel effect_row);
