// The soundtrack's half of the page's maker, called by maker_worker.js: the page decodes and
// resamples the music, this fades and encodes it exactly as velmorastik-import does.

#include <cstdint>
#include <vector>

#include "mp3_writer.h"
#include "soundtrack.h"

namespace {

// The music being made, then its MP3; one soundtrack at a time, as the worker asks.
std::vector<std::int16_t> g_pcm;
std::vector<std::uint8_t> g_mp3;

// What the page needs to know before it decodes, in the order maker_worker.js reads them.
std::uint32_t g_facts[5];

}  // namespace

// The show's length in frames of music, the rate, the channels, the lowest rate taken and the
// fade's frames, as an array of five 32-bit numbers.
extern "C" const std::uint32_t* maker_facts()
{
    g_facts[0] = static_cast<std::uint32_t>(show_music_frames());
    g_facts[1] = k_music_sample_rate;
    g_facts[2] = k_music_channels;
    g_facts[3] = k_min_music_rate;
    g_facts[4] = static_cast<std::uint32_t>(k_music_fade_frames);
    return g_facts;
}

// Room for frames interleaved stereo frames, which the worker fills; any earlier MP3 is dropped.
// Null when the frames are more than the show holds.
extern "C" std::int16_t* maker_soundtrack_buffer(std::uint32_t frames)
{
    g_mp3 = {};
    if (frames > show_music_frames())
        return nullptr;
    g_pcm.assign(std::size_t{frames} * k_music_channels, 0);
    return g_pcm.data();
}

// Ends the music with the show (or keeps it whole when shorter) in the buffer, then encodes it.
// 1 when it faded, 0 when it was kept whole, -1 when the encoder failed.
extern "C" int maker_finish_soundtrack()
{
    const bool faded = end_with_show(g_pcm, show_music_frames());
    g_mp3 = encode_mp3(g_pcm, k_music_sample_rate, k_music_bitrate_kbps);
    if (g_mp3.empty())
        return -1;
    return faded ? 1 : 0;
}

extern "C" const std::uint8_t* maker_mp3_data() { return g_mp3.data(); }
extern "C" std::uint32_t maker_mp3_size() { return static_cast<std::uint32_t>(g_mp3.size()); }
