#include "frame_selection.h"

#include "decimal.h"

std::optional<FrameSelection> FrameSelection::parse(std::string_view list)
{
    FrameSelection selection;
    selection.all_ = false;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        const std::size_t dash = item.find('-');
        const auto first = parse_decimal(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : parse_decimal(item.substr(dash + 1));
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

std::string FrameSelection::past_end(std::uint64_t count) const
{
    std::string text;
    for (const Range& range : ranges_) {
        if (range.last < count)
            continue;
        const std::uint64_t first = range.first < count ? count : range.first;
        if (!text.empty())
            text += ',';
        text += std::to_string(first);
        if (range.last != first)
            text += '-' + std::to_string(range.last);
    }
    return text;
}
