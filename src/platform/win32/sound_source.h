#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/audio.h"

// A soundtrack read from its open file a piece at a time, as 16-bit stereo frames at the output
// rate, whatever the file holds: the output device is opened once, in that one format.

inline constexpr int k_source_channels = 2;

struct SoundSource {
    void* state;
    // Fills frames (interleaved left, right) with up to count frames and says how many; 0 at the
    // end of the sound, or where the rest of the file cannot be decoded.
    std::size_t (*read)(void* state, std::int16_t* frames, std::size_t count);
    // Frees the decoder and closes the file.
    void (*close)(void* state);
};

// Called when the soundtrack is loaded: takes the file (closed here on failure) and readies it to
// be read from its first sample. On failure, false with a short reason in reason.
bool sound_source_open(std::FILE* file, SoundFormat format, int rate, SoundSource* source, char* reason,
                       std::size_t reason_size);

// The same, for each format the Windows build decodes itself.
bool mp3_source_open(std::FILE* file, int rate, SoundSource* source, char* reason, std::size_t reason_size);
bool wav_source_open(std::FILE* file, int rate, SoundSource* source, char* reason, std::size_t reason_size);
