#include "image/rgb_repack.h"

#include "fx/kernels.h"

#ifdef VELMORASTIK_X86_KERNELS
#include <immintrin.h>
#endif
#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

namespace {

void repack_scalar(const std::uint8_t* rgb, std::uint32_t* pixels, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, rgb += 3)
        pixels[i] = 0xFF000000u | std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2];
}

// Byte order within each group of four pixels: r g b of pixel i is at 3i, 3i+1, 3i+2, and the
// pixel wants b, g, r, then the 0xFF that the OR supplies (index -1 gives a zero byte).
#define VELMORASTIK_REPACK_SHUFFLE 2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1

#ifdef VELMORASTIK_X86_KERNELS
__attribute__((target("ssse3"))) void repack_ssse3(const std::uint8_t* rgb, std::uint32_t* pixels, std::size_t count)
{
    const __m128i shuffle = _mm_setr_epi8(VELMORASTIK_REPACK_SHUFFLE);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    std::size_t i = 0;
    // Each load takes 16 bytes for 12: stop while 4 bytes past the last group are still inside.
    for (; i + 6 <= count; i += 4, rgb += 12) {
        const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i),
                         _mm_or_si128(_mm_shuffle_epi8(samples, shuffle), opaque));
    }
    repack_scalar(rgb, pixels + i, count - i);
}

__attribute__((target("avx2"))) void repack_avx2(const std::uint8_t* rgb, std::uint32_t* pixels, std::size_t count)
{
    const __m256i shuffle = _mm256_setr_epi8(VELMORASTIK_REPACK_SHUFFLE, VELMORASTIK_REPACK_SHUFFLE);
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    std::size_t i = 0;
    for (; i + 10 <= count; i += 8, rgb += 24) {
        const __m256i samples = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 12)), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + i),
                            _mm256_or_si256(_mm256_shuffle_epi8(samples, shuffle), opaque));
    }
    _mm256_zeroupper();
    repack_scalar(rgb, pixels + i, count - i);
}

#endif

#ifdef __wasm_simd128__
void repack_simd128(const std::uint8_t* rgb, std::uint32_t* pixels, std::size_t count)
{
    // Lane indices past 15 (the -1s) give zero bytes, as the x86 shuffles' do.
    const v128_t shuffle = wasm_i8x16_make(VELMORASTIK_REPACK_SHUFFLE);
    const v128_t opaque = wasm_i32x4_splat(static_cast<std::int32_t>(0xFF000000u));
    std::size_t i = 0;
    for (; i + 6 <= count; i += 4, rgb += 12)
        wasm_v128_store(pixels + i, wasm_v128_or(wasm_i8x16_swizzle(wasm_v128_load(rgb), shuffle), opaque));
    repack_scalar(rgb, pixels + i, count - i);
}
#endif

#undef VELMORASTIK_REPACK_SHUFFLE

}  // namespace

std::span<const RepackKernelInfo> repack_kernels()
{
    static const RepackKernelInfo kernels[] = {
#ifdef VELMORASTIK_X86_KERNELS
        {"avx2", repack_avx2, cpu_has_avx2()},
        {"ssse3", repack_ssse3, cpu_has_ssse3()},
#endif
#ifdef __wasm_simd128__
        {"simd128", repack_simd128, true},
#endif
        {"scalar", repack_scalar, true},
    };
    return kernels;
}

void repack_rgb(const std::uint8_t* rgb, std::uint32_t* pixels, std::size_t count)
{
    static const RepackKernel best = widest_supported(repack_kernels());
    best(rgb, pixels, count);
}
