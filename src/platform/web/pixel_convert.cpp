#include "platform/web/pixel_convert.h"

void bgrx_to_rgba(const std::uint32_t* source, int width, int height, int pitch_pixels, std::uint8_t* rgba)
{
    // Word by word: swapping red and blue and forcing alpha is two masks and two shifts, which
    // WebAssembly runs far faster than four byte stores per pixel.
    auto* out = reinterpret_cast<std::uint32_t*>(rgba);
    for (int row = 0; row < height; ++row) {
        const std::uint32_t* in = source + static_cast<long>(row) * pitch_pixels;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = in[x];
            out[x] = 0xff000000u | (p & 0x0000ff00u) | ((p >> 16) & 0xffu) | ((p & 0xffu) << 16);
        }
        out += width;
    }
}
