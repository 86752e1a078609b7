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

// The reason given for any other file, whatever it holds.
inline constexpr const char* k_not_a_picture =
    "not a picture the import takes (JPEG, PNG, WebP, TIFF, GIF, HEIC or AVIF)";

// Called once, before fit_picture: starts libvips; false, with the reason, when it cannot.
bool picture_fit_start(const char* program, std::string* reason);

// The picture at path as width x height RGB samples, rows back to back; empty, with the reason,
// when it is not a regular file, not of a format above, over the bounds of picture_limits.h, or cannot be
// decoded (a truncated file counts as broken).
std::vector<std::uint8_t> fit_picture(const std::string& path, Fit fit, int width, int height, std::string* reason);
