#include "fps_option.h"

#include "decimal.h"

std::optional<std::uint64_t> parse_fps(std::string_view text)
{
    const auto fps = parse_decimal(text);
    if (!fps || *fps < k_min_fps || *fps > k_max_fps)
        return std::nullopt;
    return fps;
}
