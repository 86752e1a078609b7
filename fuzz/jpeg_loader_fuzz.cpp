// The picture loader on any bytes, read through a FILE* as from disk: a refused file hands
// nothing out, a loaded one fits the frame and fills only its own pixels.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fx/frame.h"
#include "image/jpeg_loader.h"
#include "image/rgb_repack.h"

namespace {

constexpr std::uint32_t k_untouched = 0x5A5A5A5A;

Frame32 g_destination;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The sanitizers slow our part of each decode and swell its memory: smaller limits keep
    // every input well inside the fuzzer's 2 s and 300 MB, along the same paths.
    g_decode_limits.coefficient_bytes = 48L << 20;
    g_decode_limits.work = k_decode_limits.work / 4;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (file == nullptr)
        return 0;
    std::uint8_t sentinel = 0;
    std::uint8_t* rgb = &sentinel;
    if (decode_jpeg_file(file, &rgb) == 0) {
        if (rgb != &sentinel)
            std::abort();  // a failed decode wrote its result
        return 0;
    }
    const std::uint32_t width = g_decoded_width;
    const std::uint32_t height = g_decoded_height;
    // Whatever its shape, what is kept fits in the frame's pixels.
    if (width == 0 || height == 0 || std::uint64_t{width} * height > k_frame_pixels)
        std::abort();

    for (std::uint32_t& pixel : g_destination.pixels)
        pixel = k_untouched;
    repack_rgb(rgb, g_destination.pixels, std::size_t{width} * height);  // reads the whole buffer
    std::free(rgb);
    for (std::size_t i = 0; i < k_frame_pixels; ++i) {
        const bool picture = i < std::size_t{width} * height;
        if (picture ? g_destination.pixels[i] >> 24 != 0xFF : g_destination.pixels[i] != k_untouched)
            std::abort();
    }
    return 0;
}
