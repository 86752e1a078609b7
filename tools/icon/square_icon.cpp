#include "square_icon.h"

#include <algorithm>

namespace {

// How much of source pixel `source` falls in icon pixel `target`, in units where a source
// pixel is `side` long and an icon pixel `span` long (both rows then cover span * side).
std::uint64_t overlap(int source, int target, int span, int side)
{
    const std::int64_t start = std::max<std::int64_t>(std::int64_t{source} * side, std::int64_t{target} * span);
    const std::int64_t end = std::min<std::int64_t>(std::int64_t{source + 1} * side, std::int64_t{target + 1} * span);
    return end > start ? static_cast<std::uint64_t>(end - start) : 0;
}

}  // namespace

std::vector<std::uint8_t> square_icon(const std::uint8_t* rgb, int width, int height, int side)
{
    const int span = std::min(width, height);
    const int left = (width - span) / 2;
    const int top = (height - span) / 2;

    // Columns first: each crop row reduced to side weighted sums.
    std::vector<std::uint64_t> rows(static_cast<std::size_t>(span) * side * 3, 0);
    for (int y = 0; y < span; ++y) {
        const std::uint8_t* line = rgb + (static_cast<std::size_t>(top + y) * width + left) * 3;
        std::uint64_t* sums = &rows[static_cast<std::size_t>(y) * side * 3];
        for (int x = 0; x < span; ++x)
            for (int t = x * side / span; t < side; ++t) {
                const std::uint64_t weight = overlap(x, t, span, side);
                if (weight == 0)
                    break;
                for (int c = 0; c < 3; ++c)
                    sums[t * 3 + c] += weight * line[x * 3 + c];
            }
    }

    // Then rows, and one rounding at the end.
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(side) * side * 3, 0);
    for (int y = 0; y < span; ++y)
        for (int t = y * side / span; t < side; ++t) {
            const std::uint64_t weight = overlap(y, t, span, side);
            if (weight == 0)
                break;
            for (int i = 0; i < side * 3; ++i)
                sums[static_cast<std::size_t>(t) * side * 3 + i] += weight *
                                                                    rows[static_cast<std::size_t>(y) * side * 3 + i];
        }
    const std::uint64_t area = std::uint64_t{static_cast<unsigned>(span)} * span;
    std::vector<std::uint8_t> icon(sums.size());
    for (std::size_t i = 0; i < sums.size(); ++i)
        icon[i] = static_cast<std::uint8_t>((sums[i] + area / 2) / area);
    return icon;
}
