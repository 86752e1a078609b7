#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The 64-bit FNV-1a hash the browser tests compare frames by: the same bytes give the same value
// on every platform, so a frame drawn in the page can be checked against the native capture's.

inline constexpr std::uint64_t k_fnv_offset_basis = 14695981039346656037ull;
inline constexpr std::uint64_t k_fnv_prime = 1099511628211ull;

std::uint64_t fnv1a_64(const void* bytes, std::size_t size);

// Sixteen lower-case hex digits.
std::string hash_text(std::uint64_t hash);
