#pragma once

#include <cstdint>

struct Frame32;

// What the timeline needs from the rest of the show, handed in by the caller so that the same
// sequence runs with the real pieces, headless in the capture tool, or with fakes in tests.
struct ShowOperations {
    // Decodes the picture at path into buffer; does not return when it cannot.
    void (*load_picture)(const char* path, Frame32* buffer);
    // Makes a frame in the virtual backbuffer: the picture faded by amount (see fade_to_black),
    // with the interference effect drawn over it for angle in radians, or without it for
    // k_no_effect (fx/show_frame.h).
    void (*draw_frame)(const Frame32& picture, std::uint32_t amount, double angle);
    // Puts the virtual backbuffer on screen.
    void (*show_frame)();
    // Handles pending window events without waiting.
    void (*pump_messages)();
    // The millisecond clock: an unsigned 32-bit count that may wrap.
    std::uint32_t (*now)();
};

inline constexpr int k_first_set_count = 5;
inline constexpr int k_second_set_count = 6;
// The first set's first four transitions carry the effect; its fifth and the second set do not.
inline constexpr int k_effect_transitions = 4;
inline constexpr int k_show_phases = 1 + 2 * k_first_set_count + 2 * k_second_set_count;

// Fade speed: the level rises by 0.05 per millisecond, 255 in 5,100 ms.
inline constexpr double k_level_per_ms = 0.05;
inline constexpr std::uint64_t k_fade_ms = 5100;  // 255 levels
static_assert(k_fade_ms * k_level_per_ms > 254.999 && k_fade_ms * k_level_per_ms < 255.001);
// Effect angle speed: 2 radians per second.
inline constexpr double k_angle_per_ms = 0.002;

// Whether the effect is drawn over the picture at place (in data_set_pictures()'s order: the
// intro, the first set, the second) at any time of the show, fading in or out: what the tools and
// the maker tell a person choosing which pictures get it.
bool picture_carries_effect(int place);

// Called once after start-up, with the virtual backbuffer cleared, the intro background in
// g_outgoing_picture and the music playing. Plays the intro fade-in and both picture sets, and
// returns once the last picture has faded in.
void run_show(const ShowOperations& operations);
