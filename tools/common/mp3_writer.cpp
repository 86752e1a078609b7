#include "mp3_writer.h"

#include <lame/lame.h>

#include <algorithm>

std::vector<std::uint8_t> encode_mp3(const std::vector<std::int16_t>& interleaved, int sample_rate, int bitrate_kbps)
{
    lame_global_flags* lame = lame_init();
    if (lame == nullptr)
        return {};
    lame_set_in_samplerate(lame, sample_rate);
    lame_set_out_samplerate(lame, sample_rate);
    lame_set_num_channels(lame, 2);
    lame_set_mode(lame, JOINT_STEREO);
    lame_set_brate(lame, bitrate_kbps);
    lame_set_VBR(lame, vbr_off);
    lame_set_quality(lame, 5);
    lame_set_write_id3tag_automatic(lame, 0);
    lame_set_bWriteVbrTag(lame, 1);
    std::vector<std::uint8_t> mp3;
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return {};
    }

    const int frames = static_cast<int>(interleaved.size() / 2);
    constexpr int chunk = 8192;
    std::vector<unsigned char> buffer(chunk * 5 / 4 + 7200);
    for (int first = 0; first < frames; first += chunk) {
        const int count = std::min(chunk, frames - first);
        const int n = lame_encode_buffer_interleaved(lame, const_cast<short*>(interleaved.data() + 2 * first), count,
                                                     buffer.data(), static_cast<int>(buffer.size()));
        if (n < 0) {
            lame_close(lame);
            return {};
        }
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + n);
    }
    const int n = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    if (n > 0)
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + n);

    // The stream starts with room for the LAME tag (length, encoder delay and padding, for exact
    // playback); fill it in now that the stream is complete.
    const std::size_t tag = lame_get_lametag_frame(lame, buffer.data(), buffer.size());
    if (tag > 0 && tag <= mp3.size())
        std::copy(buffer.begin(), buffer.begin() + static_cast<long>(tag), mp3.begin());
    lame_close(lame);
    return mp3;
}
