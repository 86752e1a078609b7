#include "fx/effect_kernels.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "fx/effect.h"
#include "fx/fade_kernels.h"
#include "fx/frame.h"

#ifdef VELMORASTIK_X86_KERNELS
#include <immintrin.h>
#endif

namespace {

// The row copied into a scratch row in the first-level cache, the dots blended there one at a
// time, and the scratch row faded into the frame by the widest fade kernel. Blending in the
// frame's row after its fade instead would read the picture where the fade has just written, at
// the same offset within a page, and stall on every read.
void effect_row_portable(const std::uint32_t* source, std::uint32_t* target, std::size_t count, const EffectRow& row,
                         std::uint8_t level)
{
    std::uint32_t scratch[768];  // a multiple of 3
    for (std::size_t first = 0; first < count; first += std::size(scratch)) {
        const std::size_t n = std::min(count - first, std::size(scratch));
        std::memcpy(scratch, source + first, n * sizeof(std::uint32_t));
        // first is a multiple of 3, so the dots fall where they do in the whole row.
        for (std::size_t j = 0; j < n; j += 3) {
            const std::size_t dot = (first + j) / 3;
            const std::uint16_t index = static_cast<std::uint16_t>(row.b[dot] - row.a[dot] - row.scroll);
            scratch[j] = blend_half(scratch[j], g_effect_texture[index]);
        }
        best_fade_kernel()(scratch, target + first, n, level);
    }
}

#ifdef VELMORASTIK_X86_KERNELS
// Eight pixels: the halved texels (spread under their pixels) blended into the lanes of dots, then
// all eight faded.
template <int dots>
__attribute__((target("avx2"), always_inline)) inline void blend_eight(const std::uint32_t* source,
                                                                       std::uint32_t* target, __m256i texels,
                                                                       __m256i spread, __m256i sub)
{
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
    const __m256i halved = _mm256_and_si256(_mm256_srli_epi32(pixels, 1), _mm256_set1_epi32(0x7F7F7F7F));
    const __m256i blended = _mm256_add_epi32(halved, _mm256_permutevar8x32_epi32(texels, spread));
    const __m256i drawn = _mm256_blend_epi32(pixels, blended, dots);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(target), _mm256_subs_epu8(drawn, sub));
}

// 24 pixels, 8 dots, at a time: the dots' 16-bit indices b - a - scroll from 8 entries of each
// window, widened to 32 bits for one gather of the 8 texels; permutes put each texel under its
// pixel, where a blend keeps the blended value only in the dots' lanes.
__attribute__((target("avx2"))) void effect_row_avx2(const std::uint32_t* source, std::uint32_t* target,
                                                     std::size_t count, const EffectRow& row, std::uint8_t level)
{
    const __m256i sub = _mm256_set1_epi32(static_cast<int>(fade_subtrahend(level)));
    const __m128i scroll = _mm_set1_epi16(static_cast<short>(row.scroll));
    const __m256i low_bits = _mm256_set1_epi32(0x7F7F7F7F);
    // Texel k under the pixel 3k: pixels 0, 3, 6 of the first 8; 9, 12, 15; 18, 21.
    const __m256i spread0 = _mm256_setr_epi32(0, 0, 0, 1, 1, 1, 2, 2);
    const __m256i spread1 = _mm256_setr_epi32(3, 3, 3, 3, 4, 4, 4, 5);
    const __m256i spread2 = _mm256_setr_epi32(6, 6, 6, 6, 6, 7, 7, 7);
    const auto* texture = reinterpret_cast<const int*>(g_effect_texture);

    std::size_t j = 0;
    for (; j + 24 <= count; j += 24) {
        const std::size_t dot = j / 3;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.a + dot));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.b + dot));
        const __m256i index = _mm256_cvtepu16_epi32(_mm_sub_epi16(_mm_sub_epi16(b, a), scroll));
        const __m256i texels = _mm256_and_si256(_mm256_srli_epi32(_mm256_i32gather_epi32(texture, index, 4), 1),
                                                low_bits);

        blend_eight<0b01001001>(source + j, target + j, texels, spread0, sub);
        blend_eight<0b10010010>(source + j + 8, target + j + 8, texels, spread1, sub);
        blend_eight<0b00100100>(source + j + 16, target + j + 16, texels, spread2, sub);
    }
    _mm256_zeroupper();
    // j is a multiple of 3, so the dots of the rest fall where they do in the whole row.
    effect_row_portable(source + j, target + j, count - j, {row.a + j / 3, row.b + j / 3, row.scroll}, level);
}
#endif

}  // namespace

std::span<const EffectRowKernelInfo> effect_row_kernels()
{
    static const EffectRowKernelInfo kernels[] = {
#ifdef VELMORASTIK_X86_KERNELS
        {"avx2", effect_row_avx2, cpu_has_avx2()},
#endif
        {"portable", effect_row_portable, true},
    };
    return kernels;
}

EffectRowKernel best_effect_row_kernel()
{
    static const EffectRowKernel best = widest_supported(effect_row_kernels());
    return best;
}
