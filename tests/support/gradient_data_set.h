#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A small data set the capture tests make for themselves: twelve 640x480 pictures of smooth
// gradients that differ in colour and structure (every byte value turns up in their frames), a
// texture, and a soundtrack that is not music (only a video reads it, and makes do without).

// The JPEG of the picture drawn from seed: 0 the intro, 1 to 5 the first set, 11 to 16 the second.
std::vector<std::uint8_t> gradient_picture(int seed);

// Writes the set as folder/data; false when a file cannot be written.
bool write_gradient_data_set(const std::string& folder);
