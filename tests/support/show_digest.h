#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The whole show's recorded digest: FNV-1a over the frames' bytes as 64-bit little-endian words,
// one multiplication per 8 bytes for the 8.7 GB of a whole show. Fed whole frames (or any
// multiple of 8 bytes), so that every word is hashed as it stands in the stream.
struct ShowDigest {
    std::uint64_t value = 0xCBF29CE484222325u;
    void add(const std::uint8_t* bytes, std::size_t size)
    {
        for (std::size_t i = 0; i + 8 <= size; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            value = (value ^ word) * 0x100000001B3u;
        }
    }
};

// What the build's one capture of the whole show at 60 frames a second left in its frames file
// (tests/e2e/show_frames.cpp): each frame's hash as the page records it (16 hex digits), the
// stream's digest and the frame count. Empty hashes when the file cannot be read or is not whole.
struct ShowFrames {
    std::vector<std::string> hashes;
    std::uint64_t digest = 0;
    std::uint64_t frames = 0;
};
ShowFrames read_show_frames(const std::string& path);
