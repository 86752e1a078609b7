#pragma once

#include <cstdio>  // jpeglib.h needs FILE declared first

#include <jpeglib.h>

// The whole-image coefficient buffer libjpeg allocates to decode a file of several scans
// (progressive, or baseline in several scans), from what jpeg_read_header read: 64 coefficients
// of 2 bytes per block, each component at its own sampling against the largest, padded to whole
// units of its sampling. A component sampled as finely as the largest keeps every block, however
// coarse the largest is.
inline long long jpeg_coefficient_bytes(const jpeg_decompress_struct& decompressor)
{
    long long blocks = 0;
    for (int c = 0; c < decompressor.num_components; ++c) {
        const jpeg_component_info& component = decompressor.comp_info[c];
        const long long h = component.h_samp_factor;
        const long long v = component.v_samp_factor;
        blocks += (component.width_in_blocks + h - 1) / h * h * ((component.height_in_blocks + v - 1) / v * v);
    }
    return blocks * static_cast<long long>(sizeof(JBLOCK));
}
