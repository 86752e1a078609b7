#include "fx/fade_kernels.h"

#ifdef VELMORASTIK_X86_KERNELS
#include <immintrin.h>
#endif
#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

namespace {

std::uint32_t fade_pixel(std::uint32_t pixel, std::uint8_t level)
{
    std::uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t byte = (pixel >> shift) & 0xFFu;
        result |= (byte >= level ? byte - level : 0u) << shift;
    }
    return result;
}

void fade_scalar(const std::uint32_t* source, std::uint32_t* target, std::size_t count, std::uint8_t level)
{
    for (std::size_t i = 0; i < count; ++i)
        target[i] = fade_pixel(source[i], level);
}

#ifdef VELMORASTIK_X86_KERNELS
void fade_sse2(const std::uint32_t* source, std::uint32_t* target, std::size_t count, std::uint8_t level)
{
    const __m128i sub = _mm_set1_epi32(static_cast<int>(fade_subtrahend(level)));
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

__attribute__((target("avx2"))) void fade_avx2(const std::uint32_t* source, std::uint32_t* target, std::size_t count,
                                               std::uint8_t level)
{
    const __m256i sub = _mm256_set1_epi32(static_cast<int>(fade_subtrahend(level)));
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

#ifdef __wasm_simd128__
void fade_simd128(const std::uint32_t* source, std::uint32_t* target, std::size_t count, std::uint8_t level)
{
    const v128_t sub = wasm_i32x4_splat(static_cast<std::int32_t>(fade_subtrahend(level)));
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        for (std::size_t k = 0; k < 16; k += 4)
            wasm_v128_store(target + i + k, wasm_u8x16_sub_sat(wasm_v128_load(source + i + k), sub));
    }
    fade_scalar(source + i, target + i, count - i, level);
}
#endif

}  // namespace

std::span<const FadeKernelInfo> fade_kernels()
{
    static const FadeKernelInfo kernels[] = {
#ifdef VELMORASTIK_X86_KERNELS
        {"avx2", fade_avx2, cpu_has_avx2()},
        {"sse2", fade_sse2, true},
#endif
#ifdef __wasm_simd128__
        {"simd128", fade_simd128, true},
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
