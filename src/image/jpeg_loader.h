#pragma once

#include <cstdint>
#include <cstdio>

struct Frame32;

// Size of the picture held in the RGB buffer of the most recent successful decode (what the
// frame can hold of it, see picture_fit). Read only by read_jpeg_pixels.
extern std::uint32_t g_decoded_width;
extern std::uint32_t g_decoded_height;
// The size of that picture in its file, for the note about a picture that is not 640x480.
extern std::uint32_t g_picture_width;
extern std::uint32_t g_picture_height;

// What one decode may take, so that any file whatever is loaded or refused within a second or so
// and well under 200 MB, while photos up to 24 megapixels, baseline or progressive, still load.
struct DecodeLimits {
    long long file_bytes;         // the file's size, when it is a regular file
    long long coefficient_bytes;  // the whole-image buffer that files of several scans need
    int scans;
    // Decoding time, in units of about 1.5 ns: for every scan, its blocks x (coefficients in its
    // band + k_block_work), and for every byte of the file read k_byte_work, or
    // k_arithmetic_byte_work in arithmetic-coded files, which take four times as long per byte.
    long long work;
};
inline constexpr long long k_block_work = 8;
inline constexpr long long k_byte_work = 24;
inline constexpr long long k_arithmetic_byte_work = 96;
inline constexpr DecodeLimits k_decode_limits = {
    .file_bytes = 100LL << 20,
    .coefficient_bytes = 150LL << 20,
    .scans = 100,
    .work = 600'000'000,
};
// k_decode_limits unless lowered (as the fuzzer does, whose sanitizers slow every step).
extern DecodeLimits g_decode_limits;

// Called between fades and at start-up: decodes the JPEG file at path into destination as
// 0xFFRRGGBB pixels, rows back to back from the first pixel; pixels past the picture keep what
// they held. Nothing is written unless the whole file decodes. A file that cannot be opened, is
// not a regular file or cannot be decoded ends the process with a message naming it; a picture
// that is not 640x480 gets one line on stderr saying what is shown of it.
void load_picture(const char* path, Frame32* destination);

// Decodes an open file, which it closes on every path, into a new RGB buffer (3 bytes a pixel,
// rows back to back, owned by the caller, freed with free). On success stores the size; on
// failure returns null and stores nothing.
std::uint8_t* read_jpeg_pixels(std::FILE* file, std::uint32_t* width, std::uint32_t* height);

// The libjpeg part of read_jpeg_pixels: 1 with *rgb set, or 0 with *rgb untouched and the
// reason (the library's message, or which of g_decode_limits the file exceeds) on stderr.
// Grayscale and CMYK files come out as RGB; pictures larger than the frame keep the part that
// picture_fit gives. Closes the file on both paths.
int decode_jpeg_file(std::FILE* file, std::uint8_t** rgb);
