#pragma once

#include <cstdio>

// Sound output for the soundtrack. Every operation may fail; the show then goes on in silence,
// and the music layer says why in one line from audio_failure_reason().

struct PlatformMusic;

// The formats a soundtrack can be streamed in, as the music layer tells them from the file's first
// bytes (audio/sound_format.h): each platform's decoder is picked by it, never by the file's name.
enum class SoundFormat { unknown, mp3, ogg_vorbis, ogg_opus, flac, wav };

// Opens the default output device at the given rate; false when there is none.
bool audio_open_device(int rate);

// Prepares an open file in the given format (never unknown) for streaming from disk. Takes the
// stream, which is closed with the music (or at once when it cannot be decoded). Null when there
// is no device or the file cannot be decoded.
PlatformMusic* audio_load_music(std::FILE* file, SoundFormat format);

// Why the last audio_open_device or audio_load_music failed, in a few words; empty when no sound
// was wanted (a video whose sound is made apart), which is not worth a line.
const char* audio_failure_reason();

// Starts music once from its beginning. Null is ignored.
void audio_play_music(PlatformMusic* music);

// Stops and frees music (null is ignored), then stops output and closes the device.
void audio_stop(PlatformMusic* music);
