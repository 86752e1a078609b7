#pragma once

#include <cstdint>
#include <string>

// How much of a picture of any size the loader keeps for the frame, and how that looks.

// The part of a picture that is decoded and repacked, rows back to back from the frame's first
// pixel.
struct PictureFit {
    std::uint32_t width;
    std::uint32_t height;
};

// A picture that fits in the frame's 307,200 pixels is kept whole, whatever its shape; a larger
// one keeps its top-left part, at most as wide and as tall as the frame.
PictureFit picture_fit(std::uint32_t width, std::uint32_t height);

// The one line told about the picture at path when it is not 640x480 (without a newline): its
// size, what the frame shows of it, and the tool that fits pictures to the show. Empty when the
// picture is the frame's size.
std::string picture_size_note(const char* path, std::uint32_t width, std::uint32_t height);
