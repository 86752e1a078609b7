#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Any music FFmpeg's libraries decode, as the show's soundtrack wants it.

inline constexpr int k_music_sample_rate = 44100;
inline constexpr int k_music_channels = 2;

// Interleaved 16-bit stereo samples at 44.1 kHz of the music at path, from start_seconds on and
// at most max_frames frames (a frame being one sample per channel). Empty, with the reason, when
// the file cannot be read or decoded, holds no sound, or ends before start_seconds.
std::vector<std::int16_t> decode_music(const std::string& path, double start_seconds, std::size_t max_frames,
                                       std::string* reason);

// Fades the last fade_frames frames out to silence along a quarter sine, which falls gently at
// first and reaches exactly 0 at the end.
void fade_out(std::vector<std::int16_t>& interleaved, std::size_t fade_frames);
