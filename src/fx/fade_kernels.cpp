#include "fx/fade_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

void fade_scalar(const std::uint32_t* source, std::uint32_t* target, std::size_t count, std::uint8_t level)
{
    for (std::size_t i = 0; i < count; ++i)
        target[i] = fade_pixel(source[i], level);
}

#if defined(__x86_64__) || defined(__i386__)

// Saturating byte subtraction does the whole definition at once: the colour bytes lose the level
// with a floor at 0, and the top byte loses 0xFF, which always leaves 0.
constexpr std::uint32_t subtrahend(std::uint8_t level)
{
    return 0xFF000000u | level * 0x010101u;
}

void fade_sse2(const std::uint32_t* source, std::uint32_t* target, std::size_t count, std::uint8_t level)
{
    const __m128i sub = _mm_set1_epi32(static_cast<int>(subtrahend(level)));
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const auto* s = reinterpret_cast<const __m128i*>(source + i);
        auto* t = reinterpret_cast<__m128i*>(target + i);
        const __m128i a = _mm_loadu_si128(s);
        const __m128i b = _mm_loadu_si128(s + 1);
        const __m128i c = _mm_loadu_si128(s + 2);
        const __m128i d = _mm_loadu_si128(s + 3);
        _mm_storeu_si128(t, _mm_subs_epu8(a, sub));
        _mm_storeu_si128(t + 1, _mm_subs_epu8(b, sub));
        _mm_storeu_si128(t + 2, _mm_subs_epu8(c, sub));
        _mm_storeu_si128(t + 3, _mm_subs_epu8(d, sub));
    }
    fade_scalar(source + i, target + i, count - i, level);
}

__attribute__((target("avx2"))) void fade_avx2(const std::uint32_t* source, std::uint32_t* target,
                                               std::size_t count, std::uint8_t level)
{
    const __m256i sub = _mm256_set1_epi32(static_cast<int>(subtrahend(level)));
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const auto* s = reinterpret_cast<const __m256i*>(source + i);
        auto* t = reinterpret_cast<__m256i*>(target + i);
        const __m256i a = _mm256_loadu_si256(s);
        const __m256i b = _mm256_loadu_si256(s + 1);
        const __m256i c = _mm256_loadu_si256(s + 2);
        const __m256i d = _mm256_loadu_si256(s + 3);
        _mm256_storeu_si256(t, _mm256_subs_epu8(a, sub));
        _mm256_storeu_si256(t + 1, _mm256_subs_epu8(b, sub));
        _mm256_storeu_si256(t + 2, _mm256_subs_epu8(c, sub));
        _mm256_storeu_si256(t + 3, _mm256_subs_epu8(d, sub));
    }
    _mm256_zeroupper();
    fade_scalar(source + i, target + i, count - i, level);
}

#endif

}  // namespace

std::span<const FadeKernelInfo> fade_kernels()
{
    static const FadeKernelInfo kernels[] = {
#if defined(__x86_64__) || defined(__i386__)
        {"avx2", fade_avx2, cpu_has_avx2()},
        {"sse2", fade_sse2, true},
#endif
        {"scalar", fade_scalar, true},
    };
    return kernels;
}

FadeKernel best_fade_kernel()
{
    static const FadeKernel best = widest_supported(fade_kernels());
    return best;
}
