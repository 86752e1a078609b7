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

void hash_text(std::uint64_t hash, char (&text)[k_hash_digits + 1])
{
    static constexpr char k_digits[] = "0123456789abcdef";
    for (std::size_t i = k_hash_digits; i-- > 0;) {
        text[i] = k_digits[hash & 0xf];
        hash >>= 4;
    }
    text[k_hash_digits] = '\0';
}

std::string hash_text(std::uint64_t hash)
{
    char text[k_hash_digits + 1];
    hash_text(hash, text);
    return text;
}
