#pragma once

#include <cstdint>

#include "fx/frame.h"

// The show's per-frame pixel work the plain way, one whole-frame pass each, no vectorised kernel:
// the yardstick the show's own frame path is measured against.

// The picture into the frame, byte for byte.
void plain_copy(const Frame32& picture, Frame32& frame);

// The interference effect into every third pixel of every third row, from the effect's table and
// texture (effect_init) and the scroll given; the caller advances the scroll.
void plain_interference(Frame32& frame, int a_column, int a_row, int b_column, int b_row, std::uint16_t scroll);

// Each colour byte minus amount & 0xFF, floored at 0; the top byte cleared.
void plain_fade(Frame32& frame, std::uint32_t amount);
