#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// What libjpeg reads of a JPEG before it decodes anything: the frame it will decode, whatever
// comes before or after that frame's header (stray bytes, which it skips; a second frame header,
// which it never reaches), and what decoding it will hold at once.
struct JpegHeader {
    int width = 0;
    int height = 0;
    int components = 0;
    // A file of several scans (progressive, or baseline in several) keeps every coefficient while
    // it decodes; any other is counted as if decoded whole, which a decoder of rows never reaches.
    long long decode_bytes = 0;
};

// Reads the header of the JPEG in size bytes at bytes; false, with libjpeg's reason, when the
// library cannot. Never decodes, never writes to stderr.
bool read_jpeg_header(const std::uint8_t* bytes, std::size_t size, JpegHeader* header, std::string* reason);

// The same from an open file, read from where it stands; the file is left where reading stopped.
bool read_jpeg_header(std::FILE* file, JpegHeader* header, std::string* reason);
