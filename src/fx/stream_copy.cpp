#include "fx/stream_copy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

#ifdef __SSE2__
constexpr std::size_t k_vector = sizeof(__m128i);

// The bytes before the first 16-byte boundary and after the last whole vector go through the
// cache like any store; the rest around it.
void stream_row(unsigned char* destination, const unsigned char* source, std::size_t bytes)
{
    const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(destination) % k_vector;
    const std::size_t head = std::min(bytes, misalignment == 0 ? 0 : k_vector - misalignment);
    std::memcpy(destination, source, head);
    std::size_t i = head;
    for (; i + k_vector <= bytes; i += k_vector)
        _mm_stream_si128(reinterpret_cast<__m128i*>(destination + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i)));
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
