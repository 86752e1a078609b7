#include "frame_selection.h"

#include <charconv>

namespace {

std::optional<std::uint64_t> parse_number(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<FrameSelection> FrameSelection::parse(std::string_view list)
{
    FrameSelection selection;
    selection.all_ = false;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        const std::size_t dash = item.find('-');
        const auto first = parse_number(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : parse_number(item.substr(dash + 1));
        if (!first || !last || *last < *first)
            return std::nullopt;
        selection.ranges_.push_back({*first, *last});
        if (comma == std::string_view::npos)
            return selection;
        list.remove_prefix(comma + 1);
    }
}

bool FrameSelection::contains(std::uint64_t frame) const
{
    if (all_)
        return true;
    for (const Range& range : ranges_)
        if (frame >= range.first && frame <= range.last)
            return true;
    return false;
}
