#pragma once

#include <cstdint>

struct Frame32;

// Every frame of the show, made in the virtual backbuffer by the cheapest way to the same bytes,
// given the frame the backbuffer holds. Only what it drew itself is remembered, so that the show's
// timeline hands it a picture, an amount and an angle and nothing about the frame before.

// The angle of a frame without the interference effect; the show's angles are never negative.
inline constexpr double k_no_effect = -1.0;

// Makes the frame: the picture, with the effect drawn over it for angle (effect_windows) unless
// angle is k_no_effect, faded by amount (fade_to_black). A frame equal to the one held is not made
// again, and a fade that goes further from it fades the held frame in place: fading by a and then
// by b clamps every byte as fading by a + b does.
void draw_show_frame(const Frame32& picture, std::uint32_t amount, double angle);

// Called whenever a picture or the backbuffer is written by other means (the picture loader
// does): the next frame is made from its picture whole.
void forget_held_frame();
