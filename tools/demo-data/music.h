#pragma once

#include <cstdint>
#include <vector>

// The default soundtrack, composed and played procedurally: 44,100 Hz stereo, two bars of 2.55 s
// to each fade of the show, sections following the intro and the two picture sets, and a cadence
// whose final chord dies away during the last fade: silent before the show ends.

inline constexpr int k_sample_rate = 44100;
inline constexpr int k_bitrate_kbps = 160;

// Interleaved 16-bit stereo samples.
std::vector<std::int16_t> compose_soundtrack();
