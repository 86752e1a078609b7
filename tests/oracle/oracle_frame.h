#pragma once

#include <cstdint>

#include "fx/effect.h"
#include "fx/frame.h"

// The show's frames the plain way: one whole-frame pass per step, one pixel at a time, no
// vectorised kernel. It is the definition the show's own frame path is held to by the unit and
// end-to-end tests, and its yardstick in the benchmarks, so it stays obviously right and calls
// none of the kernels it checks. What it shares with the show it reads from fx/: the frame's
// size, the effect's table and texture (effect_init), where the windows lie (effect_windows) and
// the scroll step. The pixel arithmetic (the fade, the blend, the texel's index) it writes out
// again a byte at a time: a formula taken from the kernels would agree with them when wrong.

// One pixel faded: each colour byte minus level, floored at 0; the top byte 0.
std::uint32_t oracle_fade_pixel(std::uint32_t pixel, std::uint8_t level);

// One dot of the effect: the texel that table entries a and b pick at scroll (index b - a -
// scroll, modulo 65,536) and the pixel, every byte of each halved, rounded down, and summed.
std::uint32_t oracle_dot(std::uint32_t pixel, std::uint16_t a, std::uint16_t b, std::uint16_t scroll);

// The picture into the frame, byte for byte.
void oracle_copy(const Frame32& picture, Frame32& frame);

// The effect into every third pixel of every third row, read through the windows at scroll.
void oracle_draw_effect(Frame32& frame, const EffectWindows& windows, std::uint16_t scroll);

// Every pixel of the frame faded by amount & 0xFF.
void oracle_fade(Frame32& frame, std::uint32_t amount);

// A frame of the effect: the picture copied, the effect drawn through windows at scroll, the
// whole faded by amount. Returns the scroll of the next effect frame.
std::uint16_t oracle_effect_frame(Frame32& frame, const Frame32& picture, std::uint32_t amount,
                                  const EffectWindows& windows, std::uint16_t scroll);

// A frame of the show as the timeline asks for it: with the effect at effect_windows(angle), or
// without it for k_no_effect (fx/show_frame.h), then the scroll is kept. Returns the next scroll.
std::uint16_t oracle_show_frame(Frame32& frame, const Frame32& picture, std::uint32_t amount, double angle,
                                std::uint16_t scroll);
