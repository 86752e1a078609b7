#pragma once

#include <cstdint>
#include <cstdio>

struct Frame32;

// Size of the picture held in the RGB buffer of the most recent successful decode (cropped to
// the frame). Read only by read_jpeg_pixels.
extern std::uint32_t g_decoded_width;
extern std::uint32_t g_decoded_height;

// The decoder's own memory (whole-image buffers of progressive files included) stays below this.
inline constexpr long k_decoder_memory_limit = 64L << 20;
// Progressive files with more scans than any encoder writes are refused before they eat time:
// at most this many scans, and at most this many 8x8 blocks decoded over all scans (some 20 ns
// each on dense data), so that any file is loaded or refused within about half a second.
inline constexpr int k_max_scans = 300;
inline constexpr long long k_max_scan_blocks = 20'000'000;

// Called between fades and at start-up: decodes the JPEG file at path into destination as
// 0xFFRRGGBB pixels, rows back to back from the first pixel; pixels past the picture keep what
// they held. Nothing is written unless the whole file decodes. A file that cannot be opened or
// decoded ends the process with a message naming it.
void load_picture(const char* path, Frame32* destination);

// Decodes an open file, which it closes on every path, into a new RGB buffer (3 bytes a pixel,
// rows back to back, owned by the caller, freed with free). On success stores the size; on
// failure returns null and stores nothing.
std::uint8_t* read_jpeg_pixels(std::FILE* file, std::uint32_t* width, std::uint32_t* height);

// The libjpeg part of read_jpeg_pixels: 1 with *rgb set, or 0 with *rgb untouched and the
// library's message on stderr. Grayscale and CMYK files come out as RGB; pictures larger than
// the frame keep their top-left 640x480. Closes the file on both paths.
int decode_jpeg_file(std::FILE* file, std::uint8_t** rgb);
