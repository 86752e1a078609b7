#include "image/picture_fit.h"

#include <algorithm>

#include "fx/frame.h"

namespace {

inline constexpr const char* k_import_tool = "velmorastik-import";
constexpr std::uint32_t k_width = k_frame_width;
constexpr std::uint32_t k_height = k_frame_height;

// 307200 as "307,200".
std::string with_commas(std::uint64_t value)
{
    const std::string digits = std::to_string(value);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

std::string size_text(std::uint32_t width, std::uint32_t height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

PictureFit picture_fit(std::uint32_t width, std::uint32_t height)
{
    if (std::uint64_t{width} * height <= k_frame_pixels)
        return {width, height};
    return {std::min<std::uint32_t>(width, k_width), std::min<std::uint32_t>(height, k_height)};
}

std::string picture_size_note(const char* path, std::uint32_t width, std::uint32_t height)
{
    if (width == k_width && height == k_height)
        return {};
    const PictureFit kept = picture_fit(width, height);
    const std::uint64_t pixels = std::uint64_t{kept.width} * kept.height;
    std::string note = std::string(path) + ": " + size_text(width, height) + " pixels, not " +
                       size_text(k_width, k_height) + ": showing ";
    note += kept.width == width && kept.height == height ? "all of it"
                                                         : "its top-left " + size_text(kept.width, kept.height);
    if (kept.width == k_width) {
        if (pixels < k_frame_pixels)
            note += " in the frame's top " + std::to_string(kept.height) + " rows; the rest is left as it was";
    } else {
        note += ", its rows of " + std::to_string(kept.width) + " laid back to back across the frame's rows of " +
                std::to_string(k_width);
        if (pixels < k_frame_pixels)
            note += ", over the first " + with_commas(pixels) + " of the frame's " + with_commas(k_frame_pixels) +
                    " pixels; the rest is left as it was";
    }
    return note + " (" + k_import_tool + " fits pictures to the show)";
}
