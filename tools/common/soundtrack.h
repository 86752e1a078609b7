#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "show/timeline.h"

// The show's soundtrack as the import and the page's maker make it from a person's music: the
// same rate, length, fade and bit rate on both, written here once.

inline constexpr int k_music_sample_rate = 44100;
inline constexpr int k_music_channels = 2;
// Music below this rate is refused: no music is recorded so, and resampling from 1 Hz would
// make 44,100 frames of every one.
inline constexpr int k_min_music_rate = 8000;
// Higher than the default set's: the user's music may be anything.
inline constexpr int k_music_bitrate_kbps = 192;
// The music fades out over the last picture's fade-in.
inline constexpr std::uint64_t k_music_fade_ms = k_fade_ms;
inline constexpr std::size_t k_music_fade_frames = k_music_fade_ms * k_music_sample_rate / 1000;

// The show's length in frames of music (one sample per channel), from the timeline run against
// the virtual clock at 60 fps: 5,194,245 frames, 117.78 s. Computed on every call, without
// allocating; callers keep it.
std::size_t show_music_frames();

// Fades the last fade_frames frames out to silence along a quarter sine, which falls gently at
// first and reaches exactly 0 at the end.
void fade_out(std::vector<std::int16_t>& interleaved, std::size_t fade_frames);

// Called with the music cut to at most show_frames frames: music as long as the show ends with
// it, fading out over k_music_fade_frames; shorter music is kept whole. True when it faded.
bool end_with_show(std::vector<std::int16_t>& interleaved, std::size_t show_frames);
