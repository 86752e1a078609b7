#pragma once

#include <cstdint>
#include <vector>

// libjpeg's own decode of a whole stream with every parameter at its default: what the tests
// compare the loader's pixels with.
struct ReferenceImage {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<std::uint8_t> samples;  // rows back to back

    const std::uint8_t* at(int x, int y) const
    {
        return samples.data() + (static_cast<std::size_t>(y) * width + x) * components;
    }
};

// An image with 0 components when the stream does not decode.
ReferenceImage decode_reference(const std::vector<std::uint8_t>& jpeg);
