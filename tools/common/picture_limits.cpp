#include "picture_limits.h"

std::string size_refusal(long long width, long long height, long long decode_bytes)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height) + " pixels";
    if (width * height > k_max_picture_pixels)
        return size + " is over the limit of " + std::to_string(k_max_picture_pixels / 1'000'000) + " megapixels";
    if (decode_bytes > k_max_decode_bytes)
        return size + " would take " + std::to_string(decode_bytes >> 20) + " MiB to decode, over the limit of " +
               std::to_string(k_max_decode_bytes >> 20) + " MiB";
    return {};
}
