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

namespace {

// BT.709's luma weights scaled to limited range (219 levels of luma, 224 of colour difference), in
// 16.16 fixed point. The blue and red difference rows sum to zero, so that every grey has exactly
// no colour.
constexpr double k_kr = 0.2126;
constexpr double k_kb = 0.0722;
constexpr double k_kg = 1.0 - k_kr - k_kb;
constexpr double k_luma = 219.0 / 255.0 * 65536.0;
constexpr double k_chroma = 224.0 / 255.0 * 65536.0;
constexpr int fixed(double value) { return static_cast<int>(value < 0 ? value - 0.5 : value + 0.5); }
constexpr int k_y_r = fixed(k_kr * k_luma);
constexpr int k_y_g = fixed(k_kg * k_luma);
constexpr int k_y_b = fixed(k_kb * k_luma);
constexpr int k_cb_r = fixed(-k_kr / (2 * (1 - k_kb)) * k_chroma);
constexpr int k_cb_b = fixed(k_chroma / 2);
constexpr int k_cb_g = -k_cb_r - k_cb_b;
constexpr int k_cr_b = fixed(-k_kb / (2 * (1 - k_kr)) * k_chroma);
constexpr int k_cr_r = fixed(k_chroma / 2);
constexpr int k_cr_g = -k_cr_r - k_cr_b;

inline int red(std::uint32_t p) { return static_cast<int>((p >> 16) & 0xff); }
inline int green(std::uint32_t p) { return static_cast<int>((p >> 8) & 0xff); }
inline int blue(std::uint32_t p) { return static_cast<int>(p & 0xff); }

}  // namespace

void bgrx_to_i420_bt709(const std::uint32_t* source, int width, int height, std::uint8_t* i420)
{
    std::uint8_t* luma = i420;
    std::uint8_t* cb = i420 + static_cast<long>(width) * height;
    std::uint8_t* cr = cb + static_cast<long>(width / 2) * (height / 2);
    for (int row = 0; row < height; row += 2) {
        const std::uint32_t* top = source + static_cast<long>(row) * width;
        const std::uint32_t* bottom = top + width;
        std::uint8_t* luma_top = luma + static_cast<long>(row) * width;
        std::uint8_t* luma_bottom = luma_top + width;
        for (int x = 0; x < width; x += 2) {
            const std::uint32_t block[4] = {top[x], top[x + 1], bottom[x], bottom[x + 1]};
            std::uint8_t* out[4] = {luma_top + x, luma_top + x + 1, luma_bottom + x, luma_bottom + x + 1};
            int r = 0, g = 0, b = 0;
            for (int k = 0; k < 4; ++k) {
                const int pr = red(block[k]), pg = green(block[k]), pb = blue(block[k]);
                *out[k] = static_cast<std::uint8_t>((k_y_r * pr + k_y_g * pg + k_y_b * pb + (16 << 16) + (1 << 15)) >>
                                                    16);
                r += pr;
                g += pg;
                b += pb;
            }
            // Four pixels' sums: two more bits of fraction, rounded once.
            *cb++ = static_cast<std::uint8_t>((k_cb_r * r + k_cb_g * g + k_cb_b * b + (128 << 18) + (1 << 17)) >> 18);
            *cr++ = static_cast<std::uint8_t>((k_cr_r * r + k_cr_g * g + k_cr_b * b + (128 << 18) + (1 << 17)) >> 18);
        }
    }
}
