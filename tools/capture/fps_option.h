#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr std::uint64_t k_min_fps = 1;
// Beyond this a whole show's frames take long to step for nothing a screen or a video can show.
inline constexpr std::uint64_t k_max_fps = 1000;

// The --fps value: decimal digits only, k_min_fps to k_max_fps; nullopt otherwise.
std::optional<std::uint64_t> parse_fps(std::string_view text);
