#pragma once

#include <cstdint>
#include <string>
#include <vector>

// JPEG encoding for the programs beside the show (data generator, tests, benchmarks), through
// libjpeg's compression side.

struct JpegSettings {
    int quality = 90;
    bool progressive = false;
    bool store_rgb = false;    // colour files without the YCbCr transform: flat colours survive exactly
    bool full_chroma = false;  // colour at full resolution (4:4:4) rather than halved both ways (4:2:0)
    bool arithmetic = false;   // arithmetic coding instead of Huffman coding
    int restart_rows = 0;      // a restart marker every this many rows of blocks; 0 for none
    // Each component's sampling as "HxV,HxV,...", in place of the above (as cjpeg's -sample).
    const char* sampling = nullptr;
};

// How the import writes a person's pictures, natively and in the browser's maker: colour at full
// resolution, since photos have fine coloured detail.
inline constexpr JpegSettings k_imported_picture_jpeg = {.quality = 92, .full_chroma = true};

// Encodes width x height samples, rows back to back, with 1 (gray), 3 (RGB) or 4 (CMYK)
// components per pixel. CMYK samples are written as given and read as Adobe applications store
// them, inverted: 255 is no ink, 0 full ink.
std::vector<std::uint8_t> encode_jpeg(const std::uint8_t* samples, int width, int height, int components,
                                      const JpegSettings& settings = {});

// A stream holding only the quantisation and Huffman tables, no image.
std::vector<std::uint8_t> encode_jpeg_tables_only();
