#include "fx/frame_hash.h"

#include <cstring>

std::uint64_t frame_hash_add(std::uint64_t hash, const void* bytes, std::size_t size)
{
    const auto* byte = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, byte + i, 8);
        hash = (hash ^ word) * k_frame_hash_prime;
    }
    return hash;
}

std::string hash_text(std::uint64_t hash)
{
    static constexpr char k_digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = k_digits[hash & 0xf];
        hash >>= 4;
    }
    return text;
}
