// The capture's --fps parser on any text, against the rule worked out digit by digit.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fps_option.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    bool digits = !text.empty();
    std::uint64_t value = 0;
    for (const char c : text) {
        digits = digits && c >= '0' && c <= '9';
        if (digits)
            value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'), k_max_fps + 1);
    }
    const bool valid = digits && value >= k_min_fps && value <= k_max_fps;
    const auto fps = parse_fps(text);
    if (fps.has_value() != valid || (valid && *fps != value))
        std::abort();
    return 0;
}
