#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "soundtrack.h"

// Any music FFmpeg's libraries decode, as the show's soundtrack wants it.

// The containers taken, by FFmpeg's demuxer names: audio files only, none of which opens another
// file (playlists, concatenations and image sequences are not music files).
inline constexpr const char* k_music_formats = "mp3,ogg,flac,wav,w64,aiff,mov,matroska,aac,asf,wv";
inline constexpr const char* k_not_a_music_file = "not a music file";

struct DecodedMusic {
    // Interleaved 16-bit stereo samples at 44.1 kHz; empty, with the reason, on a failure.
    std::vector<std::int16_t> samples;
    std::string reason;
    int damaged_packets = 0;      // skipped by the decoder
    double decoded_seconds = 0;   // of the file from its start, when it was decoded to its end
    double declared_seconds = 0;  // the length its header declares; 0 when it declares none
};

// The music at path from start_seconds on, at most max_frames frames (a frame being one sample
// per channel). Only a regular file of one of the formats above is read, at 8 kHz or more. A
// damaged packet is skipped and counted; a file cut short is kept as far as it goes.
DecodedMusic decode_music(const std::string& path, double start_seconds, std::size_t max_frames);
