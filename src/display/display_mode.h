#pragma once

#include <cstdint>

// The two ways the show is put on screen; g_display_mode and Display::mode hold one of these.
inline constexpr std::uint8_t k_mode_fullscreen = 0;
inline constexpr std::uint8_t k_mode_windowed = 3;
