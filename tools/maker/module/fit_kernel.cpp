// The maker's resampling (tools/maker/resample.mjs) at the speed of the machine's vector unit, for
// its fitting workers: the same box reduction and the same widened Lanczos-3 passes, each pixel's
// four samples (R, G, B and an unused fourth) one 128-bit vector. No library and no allocator:
// the worker lays the buffers out in the module's memory and passes their addresses, and the
// weights come from resample.mjs, so that both give the same picture.

#include <wasm_simd128.h>

#include <cstddef>
#include <cstdint>

namespace {

// Four bytes as four floats.
inline v128_t pixel(const std::uint8_t* p)
{
    const v128_t bytes = wasm_v128_load32_zero(p);
    return wasm_f32x4_convert_i32x4(wasm_u32x4_extend_low_u16x8(wasm_u16x8_extend_low_u8x16(bytes)));
}

inline v128_t pixel(const float* p) { return wasm_v128_load(p); }

// One pass along rows: in_w x rows pixels -> out_w x rows, each output the sum of its taps'
// pixels (offsets: each tap's pixel in the row, the edges' repeats resolved) by their weights.
template <typename Sample>
void rows(const Sample* src, int in_w, int rows, int out_w, int taps, const std::int32_t* offsets, const float* weights,
          float* out)
{
    for (int y = 0; y < rows; ++y) {
        const Sample* row = src + static_cast<std::size_t>(y) * in_w * 4;
        float* to = out + static_cast<std::size_t>(y) * out_w * 4;
        for (int o = 0; o < out_w; ++o) {
            v128_t sum = wasm_f32x4_splat(0.0f);
            const std::int32_t* at = offsets + static_cast<std::size_t>(o) * taps;
            const float* w = weights + static_cast<std::size_t>(o) * taps;
            for (int t = 0; t < taps; ++t)
                sum = wasm_f32x4_add(sum, wasm_f32x4_mul(pixel(row + at[t] * 4), wasm_f32x4_splat(w[t])));
            wasm_v128_store(to + o * 4, sum);
        }
    }
}

}  // namespace

// Averages factor x factor blocks of RGBA bytes (width wide) into out_w x out_h pixels of floats;
// the last partial row and column of blocks are left out.
extern "C" void fit_box(const std::uint8_t* rgba, int width, int factor, float* out, int out_w, int out_h)
{
    const v128_t scale = wasm_f32x4_splat(1.0f / static_cast<float>(factor * factor));
    for (int oy = 0; oy < out_h; ++oy) {
        for (int ox = 0; ox < out_w; ++ox) {
            // Whole numbers: the sum is exact.
            v128_t sum = wasm_i32x4_splat(0);
            for (int y = oy * factor; y < (oy + 1) * factor; ++y) {
                const std::uint8_t* p = rgba + (static_cast<std::size_t>(y) * width + ox * factor) * 4;
                for (int k = 0; k < factor; ++k, p += 4) {
                    const v128_t bytes = wasm_v128_load32_zero(p);
                    sum = wasm_i32x4_add(sum, wasm_u32x4_extend_low_u16x8(wasm_u16x8_extend_low_u8x16(bytes)));
                }
            }
            wasm_v128_store(out + (static_cast<std::size_t>(oy) * out_w + ox) * 4,
                            wasm_f32x4_mul(wasm_f32x4_convert_i32x4(sum), scale));
        }
    }
}

// The rows pass from RGBA bytes, each row made floats first (in row, in_w pixels' room) so that
// a pixel is converted once rather than once for each output whose taps reach it; or from
// fit_box's floats.
extern "C" void fit_rows_bytes(const std::uint8_t* src, int in_w, int height, int out_w, int taps,
                               const std::int32_t* offsets, const float* weights, float* out, float* row)
{
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = src + static_cast<std::size_t>(y) * in_w * 4;
        for (int x = 0; x < in_w; ++x)
            wasm_v128_store(row + x * 4, pixel(from + x * 4));
        rows(row, in_w, 1, out_w, taps, offsets, weights, out + static_cast<std::size_t>(y) * out_w * 4);
    }
}

extern "C" void fit_rows_floats(const float* src, int in_w, int height, int out_w, int taps,
                                const std::int32_t* offsets, const float* weights, float* out)
{
    rows(src, in_w, height, out_w, taps, offsets, weights, out);
}

// The pass down columns: in_h rows of width pixels -> out_h rows, each output row the sum of its
// taps' rows (sources: each tap's row, the edges' repeats resolved) by their weights.
extern "C" void fit_columns(const float* src, int width, int out_h, int taps, const std::int32_t* sources,
                            const float* weights, float* out)
{
    const int samples = width * 4;
    for (int o = 0; o < out_h; ++o) {
        float* to = out + static_cast<std::size_t>(o) * samples;
        for (int j = 0; j < samples; j += 4)
            wasm_v128_store(to + j, wasm_f32x4_splat(0.0f));
        for (int t = 0; t < taps; ++t) {
            const float w = weights[static_cast<std::size_t>(o) * taps + t];
            if (w == 0.0f)
                continue;
            const v128_t weight = wasm_f32x4_splat(w);
            const float* from = src +
                                static_cast<std::size_t>(sources[static_cast<std::size_t>(o) * taps + t]) * samples;
            for (int j = 0; j < samples; j += 4)
                wasm_v128_store(
                    to + j, wasm_f32x4_add(wasm_v128_load(to + j), wasm_f32x4_mul(wasm_v128_load(from + j), weight)));
        }
    }
}
