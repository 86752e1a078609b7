#include "fx/effect_kernels.h"

#ifdef VELMORASTIK_X86_KERNELS
#include <immintrin.h>
#endif

namespace {

// The row faded whole by the widest fade kernel, then each dot made again from the picture: the
// dots are a third of a third of the pixels, and the row is still in the first-level cache.
void effect_row_portable(const std::uint32_t* source, std::uint32_t* target, std::size_t count, const EffectRow& row,
                         std::uint8_t level)
{
    best_fade_kernel()(source, target, count, level);
    for (std::size_t j = 0; j < count; j += 3)
        target[j] = effect_row_pixel(source[j], true, row.a[j], row.b[j], row.scroll, level);
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

// 24 pixels, 8 dots, at a time. The dots' 16-bit indices come from the table rows as loaded,
// b - a - scroll for all 24 entries; shuffles pick every third one into 32-bit lanes, one gather
// fetches the 8 texels, and permutes put each back under its pixel, where a blend keeps the
// blended value only in the dots' lanes.
__attribute__((target("avx2"))) void effect_row_avx2(const std::uint32_t* source, std::uint32_t* target,
                                                     std::size_t count, const EffectRow& row, std::uint8_t level)
{
    const __m256i sub = _mm256_set1_epi32(static_cast<int>(fade_subtrahend(level)));
    const __m256i scroll = _mm256_set1_epi16(static_cast<short>(row.scroll));
    const __m256i low_bits = _mm256_set1_epi32(0x7F7F7F7F);
    // Entries 0..15: per 128-bit lane, the entries at 0, 3, 6 (low lane) and 9, 12, 15 (high
    // lane) into its first three 32-bit lanes, zero in the fourth; then the six moved together.
    const __m256i pick_first = _mm256_setr_epi8(0, 1, -1, -1, 6, 7, -1, -1, 12, 13, -1, -1, -1, -1, -1, -1,  //
                                                 2, 3, -1, -1, 8, 9, -1, -1, 14, 15, -1, -1, -1, -1, -1, -1);
    const __m256i close_up = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 3);
    // Entries 16..23, in both lanes: the ones at 18 and 21 into 32-bit lanes 6 and 7.
    const __m256i pick_last = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                               -1, -1, -1, -1, -1, -1, -1, -1, 4, 5, -1, -1, 10, 11, -1, -1);
    // Texel k under the pixel 3k: pixels 0, 3, 6 of the first 8; 9, 12, 15; 18, 21.
    const __m256i spread0 = _mm256_setr_epi32(0, 0, 0, 1, 1, 1, 2, 2);
    const __m256i spread1 = _mm256_setr_epi32(3, 3, 3, 3, 4, 4, 4, 5);
    const __m256i spread2 = _mm256_setr_epi32(6, 6, 6, 6, 6, 7, 7, 7);
    const auto* texture = reinterpret_cast<const int*>(g_effect_texture);

    std::size_t j = 0;
    for (; j + 24 <= count; j += 24) {
        const __m256i first = _mm256_sub_epi16(
            _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.b + j)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.a + j))),
            scroll);
        const __m256i last = _mm256_sub_epi16(
            _mm256_sub_epi16(_mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row.b + j + 16))),
                             _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row.a + j + 16)))),
            scroll);
        const __m256i index = _mm256_or_si256(
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(first, pick_first), close_up),
            _mm256_shuffle_epi8(last, pick_last));
        const __m256i texels =
            _mm256_and_si256(_mm256_srli_epi32(_mm256_i32gather_epi32(texture, index, 4), 1), low_bits);

        blend_eight<0b01001001>(source + j, target + j, texels, spread0, sub);
        blend_eight<0b10010010>(source + j + 8, target + j + 8, texels, spread1, sub);
        blend_eight<0b00100100>(source + j + 16, target + j + 16, texels, spread2, sub);
    }
    _mm256_zeroupper();
    // j is a multiple of 3, so the dots of the rest fall where they do in the whole row.
    for (; j < count; ++j)
        target[j] = effect_row_pixel(source[j], j % 3 == 0, row.a[j], row.b[j], row.scroll, level);
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
