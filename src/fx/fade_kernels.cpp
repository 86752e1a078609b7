#include "fx/fade_kernels.h"

#include <immintrin.h>

namespace {

// Saturating byte subtraction does the whole definition at once: the colour bytes lose the level
// with a floor at 0, and the top byte loses 0xFF, which always leaves 0.
constexpr std::uint32_t subtrahend(std::uint8_t level)
{
    return 0xFF000000u | level * 0x010101u;
}

void fade_scalar(std::uint32_t* pixels, std::size_t count, std::uint8_t level)
{
    for (std::size_t i = 0; i < count; ++i)
        pixels[i] = fade_pixel(pixels[i], level);
}

void fade_sse2(std::uint32_t* pixels, std::size_t count, std::uint8_t level)
{
    const __m128i sub = _mm_set1_epi32(static_cast<int>(subtrahend(level)));
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        auto* p = reinterpret_cast<__m128i*>(pixels + i);
        const __m128i a = _mm_loadu_si128(p);
        const __m128i b = _mm_loadu_si128(p + 1);
        const __m128i c = _mm_loadu_si128(p + 2);
        const __m128i d = _mm_loadu_si128(p + 3);
        _mm_storeu_si128(p, _mm_subs_epu8(a, sub));
        _mm_storeu_si128(p + 1, _mm_subs_epu8(b, sub));
        _mm_storeu_si128(p + 2, _mm_subs_epu8(c, sub));
        _mm_storeu_si128(p + 3, _mm_subs_epu8(d, sub));
    }
    fade_scalar(pixels + i, count - i, level);
}

__attribute__((target("avx2"))) void fade_avx2(std::uint32_t* pixels, std::size_t count,
                                               std::uint8_t level)
{
    const __m256i sub = _mm256_set1_epi32(static_cast<int>(subtrahend(level)));
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        auto* p = reinterpret_cast<__m256i*>(pixels + i);
        const __m256i a = _mm256_loadu_si256(p);
        const __m256i b = _mm256_loadu_si256(p + 1);
        const __m256i c = _mm256_loadu_si256(p + 2);
        const __m256i d = _mm256_loadu_si256(p + 3);
        _mm256_storeu_si256(p, _mm256_subs_epu8(a, sub));
        _mm256_storeu_si256(p + 1, _mm256_subs_epu8(b, sub));
        _mm256_storeu_si256(p + 2, _mm256_subs_epu8(c, sub));
        _mm256_storeu_si256(p + 3, _mm256_subs_epu8(d, sub));
    }
    _mm256_zeroupper();
    fade_scalar(pixels + i, count - i, level);
}

}  // namespace

std::span<const FadeKernelInfo> fade_kernels()
{
    static const FadeKernelInfo kernels[] = {
        {"avx2", fade_avx2, cpu_has_avx2()},
        {"sse2", fade_sse2, true},
        {"scalar", fade_scalar, true},
    };
    return kernels;
}

FadeKernel best_fade_kernel()
{
    static const FadeKernel best = widest_supported(fade_kernels());
    return best;
}
