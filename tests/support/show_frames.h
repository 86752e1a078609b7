#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the capture tool's --hashes writes (the reference renderer writes the same): each frame's
// hash (16 hex digits), the digest of all the frames as one stream, and the frame count. The
// build keeps one such file of the whole show at 60 frames a second, which the tests that compare
// with the native show's frames read. Empty hashes when the text is not whole.
struct ShowFrames {
    std::vector<std::string> hashes;
    std::uint64_t digest = 0;
    std::uint64_t frames = 0;
};
ShowFrames parse_show_frames(const std::string& text);
// The same read from a file; empty hashes when it cannot be read.
ShowFrames read_show_frames(const std::string& path);
