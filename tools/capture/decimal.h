#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

// A whole text of decimal digits as a number; nullopt for anything else (signs, blanks, empty,
// too large for 64 bits).
inline std::optional<std::uint64_t> parse_decimal(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}
