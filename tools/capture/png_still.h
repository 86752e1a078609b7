#pragma once

#include <cstdint>
#include <string>

struct Frame32;

// Stills of one capture, as DIR/frame-NNNNN.png (the frame's number, five digits at least): 8-bit
// RGB with the frames' exact colours, through FFmpeg's PNG encoder. Each is written as an unnamed
// file kept open (a hidden name where the file system or the limit of open files allows no more),
// and all take their names together when the capture has succeeded, so a failed, interrupted or
// killed capture leaves the folder as it was. Failures return false with *error set.

// Opens the folder, making it when it does not exist.
bool png_stills_open(const std::string& folder, std::string* error);

// Encodes frame number index of the show into its hidden file.
bool png_still_write(const Frame32& frame, std::uint64_t index, std::string* error);

// Called once, at the end: puts every still written on disk and gives each its name, then ends
// the folder, failed or not.
bool png_stills_commit(std::string* error);

// Removes the hidden names written so far; safe in a signal handler.
void png_stills_discard();

// The bytes of the stills written.
std::uint64_t png_stills_bytes();
