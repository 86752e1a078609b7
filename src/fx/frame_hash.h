#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fx/frame.h"

// A frame's fingerprint, the same on every platform, by which the capture tool, the page and the
// tests compare frames without moving their bytes: 64-bit FNV-1a taken over the bytes as
// little-endian 64-bit words, one multiplication per 8 bytes (153,600 for a frame).
inline constexpr std::uint64_t k_frame_hash_basis = 0xCBF29CE484222325u;
inline constexpr std::uint64_t k_frame_hash_prime = 0x100000001B3u;

// hash carried on over size bytes, a multiple of 8: a stream fed in pieces gives what it gives fed
// whole, so the digest of a run of frames is their bytes carried on from the basis.
std::uint64_t frame_hash_add(std::uint64_t hash, const void* bytes, std::size_t size);

// One frame's hash: its bytes from the basis.
inline std::uint64_t frame_hash(const Frame32& frame)
{
    return frame_hash_add(k_frame_hash_basis, frame.pixels, k_frame_bytes);
}

inline constexpr std::size_t k_hash_digits = 16;

// Sixteen lower-case hex digits and a NUL into text, allocating nothing: a line each frame.
void hash_text(std::uint64_t hash, char (&text)[k_hash_digits + 1]);

// The same digits as a string.
std::string hash_text(std::uint64_t hash);
