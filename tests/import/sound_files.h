#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Music written with the ffmpeg tool for the import to read, and its MP3 decoded back.

inline constexpr int k_rate = 44100;

// Writes seconds of sound at 44.1 kHz on two channels, both the expression of t (seconds) in
// ffmpeg's aevalsrc, from -1 to 1; the codec follows the name's suffix. False when ffmpeg fails.
bool make_sound(const std::string& path, const std::string& expression, double seconds);

// The file decoded by ffmpeg to 16-bit stereo at 44.1 kHz, interleaved; empty when it fails.
std::vector<std::int16_t> decode_sound(const std::string& path);

// The root mean square of the samples (both channels) from from_seconds to to_seconds; 0 when
// the span holds none.
double rms(const std::vector<std::int16_t>& interleaved, double from_seconds, double to_seconds);

inline double seconds_of(const std::vector<std::int16_t>& interleaved)
{
    return static_cast<double>(interleaved.size()) / 2 / k_rate;
}
