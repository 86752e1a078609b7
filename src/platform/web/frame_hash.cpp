#include "platform/web/frame_hash.h"

std::uint64_t fnv1a_64(const void* bytes, std::size_t size)
{
    const auto* byte = static_cast<const unsigned char*>(bytes);
    std::uint64_t hash = k_fnv_offset_basis;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= byte[i];
        hash *= k_fnv_prime;
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
