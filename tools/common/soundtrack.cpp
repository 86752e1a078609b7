#include "soundtrack.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "show/frame_count.h"

namespace {

// Any rate that divides 44,100 gives the same length; the show's own is one.
constexpr std::uint64_t k_length_fps = k_show_fps;
static_assert(k_music_sample_rate % k_length_fps == 0);

}  // namespace

std::size_t show_music_frames() { return show_frame_count(k_length_fps) * k_music_sample_rate / k_length_fps; }

void fade_out(std::vector<std::int16_t>& interleaved, std::size_t fade_frames)
{
    const std::size_t frames = interleaved.size() / k_music_channels;
    fade_frames = std::min(fade_frames, frames);
    if (fade_frames == 0)
        return;
    const std::size_t first = frames - fade_frames;
    for (std::size_t i = 0; i < fade_frames; ++i) {
        // From 1 just before the fade to 0 at its last frame.
        const double left = static_cast<double>(fade_frames - 1 - i) / static_cast<double>(fade_frames);
        const double gain = std::sin(left * std::numbers::pi / 2);
        for (int c = 0; c < k_music_channels; ++c) {
            std::int16_t& sample = interleaved[(first + i) * k_music_channels + c];
            sample = static_cast<std::int16_t>(std::lround(sample * gain));
        }
    }
}

bool end_with_show(std::vector<std::int16_t>& interleaved, std::size_t show_frames)
{
    if (interleaved.size() / k_music_channels != show_frames)
        return false;
    fade_out(interleaved, k_music_fade_frames);
    return true;
}
