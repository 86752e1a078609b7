#include "jpeg_streams.h"

std::vector<std::size_t> scan_ends(const std::vector<std::uint8_t>& jpeg)
{
    std::vector<std::size_t> ends;
    std::size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF && jpeg[i + 1] != 0xD9) {
        const std::uint8_t marker = jpeg[i + 1];
        i += 2 + (std::size_t{jpeg[i + 2]} << 8 | jpeg[i + 3]);
        if (marker != 0xDA)
            continue;
        while (i + 1 < jpeg.size() &&
               !(jpeg[i] == 0xFF && jpeg[i + 1] != 0 && (jpeg[i + 1] < 0xD0 || jpeg[i + 1] > 0xD7)))
            ++i;
        ends.push_back(i);
    }
    return ends;
}

std::vector<std::uint8_t> repeat_scan(const std::vector<std::uint8_t>& jpeg, std::size_t k, int times)
{
    const std::vector<std::size_t> ends = scan_ends(jpeg);
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<long>(ends[k]));
    for (int t = 0; t < times; ++t)
        out.insert(out.end(), jpeg.begin() + static_cast<long>(ends[k - 1]), jpeg.begin() + static_cast<long>(ends[k]));
    out.insert(out.end(), jpeg.begin() + static_cast<long>(ends[k]), jpeg.end());
    return out;
}

std::vector<std::uint8_t> with_size(std::vector<std::uint8_t> jpeg, int width, int height)
{
    for (std::size_t i = 2; i + 9 < jpeg.size(); i += 2 + (std::size_t{jpeg[i + 2]} << 8 | jpeg[i + 3])) {
        const std::uint8_t marker = jpeg[i + 1];
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA) {
            jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(height);
            jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(width);
            break;
        }
    }
    return jpeg;
}
