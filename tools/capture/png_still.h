#pragma once

#include <cstdint>
#include <string>

struct Frame32;

// Writes frame as DIR/frame-NNNNN.png (index, five digits at least), 8-bit RGB with the frame's
// exact colours, through FFmpeg's PNG encoder. The file appears complete or not at all. False
// with *error set on failure.
bool write_png_still(const Frame32& frame, const std::string& folder, std::uint64_t index, std::string* error);

// The name write_png_still gives frame index.
std::string png_still_name(std::uint64_t index);
