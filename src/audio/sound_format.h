#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/audio.h"

// The soundtrack's format (SoundFormat, which the platform's sound output takes), told by its first
// bytes as the original's audio library told it, whatever the file is named. Only these are
// streamed: a file that is none of them is refused before any decoder reads it (a decoder that
// takes anything would read a huge file whole).

// Enough of the file's head for sound_format_of.
inline constexpr std::size_t k_sound_head_bytes = 36;

// Called with the first bytes of a soundtrack (fewer when the file is shorter).
SoundFormat sound_format_of(const std::uint8_t* head, std::size_t size);

// The formats a soundtrack may be in, for the line that says it is in none of them.
inline constexpr const char* k_playable_sound_formats = "MP3, OGG, Opus, FLAC or WAV";
