#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr std::uint64_t k_min_fps = 1;
inline constexpr std::uint64_t k_max_fps = 100000;

// The --fps value: decimal digits only, k_min_fps to k_max_fps; nullopt otherwise.
std::optional<std::uint64_t> parse_fps(std::string_view text);
