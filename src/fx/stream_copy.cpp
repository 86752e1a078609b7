#include "fx/stream_copy.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

#ifdef __SSE2__
constexpr std::size_t k_vector = sizeof(__m128i);

// The bytes before the first 16-byte boundary go through the cache like any store; the rest,
// four vectors at a time, around it.
void stream_row(unsigned char* destination, const unsigned char* source, std::size_t bytes)
{
    const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(destination) % k_vector;
    const std::size_t head = misalignment == 0 ? 0 : k_vector - misalignment;
    if (bytes < head + 4 * k_vector) {
        std::memcpy(destination, source, bytes);
        return;
    }
    std::memcpy(destination, source, head);
    std::size_t i = head;
    for (; i + 4 * k_vector <= bytes; i += 4 * k_vector) {
        const auto* s = reinterpret_cast<const __m128i*>(source + i);
        auto* d = reinterpret_cast<__m128i*>(destination + i);
        const __m128i a = _mm_loadu_si128(s);
        const __m128i b = _mm_loadu_si128(s + 1);
        const __m128i c = _mm_loadu_si128(s + 2);
        const __m128i e = _mm_loadu_si128(s + 3);
        _mm_stream_si128(d, a);
        _mm_stream_si128(d + 1, b);
        _mm_stream_si128(d + 2, c);
        _mm_stream_si128(d + 3, e);
    }
    std::memcpy(destination + i, source + i, bytes - i);
}
#else
void stream_row(unsigned char* destination, const unsigned char* source, std::size_t bytes)
{
    std::memcpy(destination, source, bytes);
}
#endif

}  // namespace

void stream_rows(void* destination, std::size_t destination_pitch, const void* source, std::size_t source_pitch,
                 std::size_t row_bytes, int rows)
{
    auto* to = static_cast<unsigned char*>(destination);
    const auto* from = static_cast<const unsigned char*>(source);
    for (int row = 0; row < rows; ++row)
        stream_row(to + row * destination_pitch, from + row * source_pitch, row_bytes);
#ifdef __SSE2__
    // Streaming stores are weakly ordered: the fence puts them before whatever tells the reader.
    _mm_sfence();
#endif
}
