#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Any picture a person has, as the show wants it, through libvips: turned upright by its EXIF
// orientation, converted from its colour profile to sRGB, transparency laid over black, and
// resampled to exactly width x height keeping its shape.

enum class Fit {
    contain,  // the whole picture, centred, with black bars
    cover,    // the whole frame filled, the picture's centre kept
};

// Bounds on a picture, read from its header before it is decoded: a photo of today's largest
// cameras fits, a file declaring billions of pixels in a few bytes does not.
inline constexpr long long k_max_picture_pixels = 200'000'000;
inline constexpr long long k_max_decode_bytes = 1LL << 30;

// The reason given for any other file, whatever it holds.
inline constexpr const char* k_not_a_picture = "not a picture the import takes (JPEG, PNG, WebP, TIFF, GIF, HEIC or AVIF)";

// Called once, before fit_picture: starts libvips; false, with the reason, when it cannot.
bool picture_fit_start(const char* program, std::string* reason);

// The picture at path as width x height RGB samples, rows back to back; empty, with the reason,
// when it is not a regular file, not of a format above, over the bounds above, or cannot be
// decoded (a truncated file counts as broken).
std::vector<std::uint8_t> fit_picture(const std::string& path, Fit fit, int width, int height,
                                      std::string* reason);
