#pragma once

#include <cstdint>
#include <vector>

// MP3 encoding for the programs beside the show, through LAME.

// Interleaved 16-bit stereo samples as a constant-bit-rate MP3 stream whose LAME tag gives the
// encoder's delay and padding, so that players give back exactly these samples; empty when LAME
// fails.
std::vector<std::uint8_t> encode_mp3(const std::vector<std::int16_t>& interleaved, int sample_rate, int bitrate_kbps);
