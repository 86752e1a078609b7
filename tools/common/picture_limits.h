#pragma once

#include <string>

// Bounds on a picture, read from its header before anything decodes it, which the import and the
// page's maker share: a photo of today's largest cameras fits, a file declaring billions of
// pixels in a few bytes does not.
inline constexpr long long k_max_picture_pixels = 200'000'000;
// What decoding may hold at once: with the rest of a run, under the 512 MB that any input may
// cost. A progressive 64-megapixel photo without subsampling still fits.
inline constexpr long long k_max_decode_bytes = 384LL << 20;

// Why a picture of width x height whose decoding holds decode_bytes at once is refused, in
// words for the person who chose it; empty when it is taken.
std::string size_refusal(long long width, long long height, long long decode_bytes);
