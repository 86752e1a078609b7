#pragma once

// Sound output for the soundtrack. Every operation may fail; none reports it, because the show
// goes on in silence.

struct PlatformMusic;

// Opens the default output device at the given rate; false when there is none.
bool audio_open_device(int rate);

// Prepares the file at path for streaming from disk; null when it cannot be read or decoded.
PlatformMusic* audio_load_music(const char* path);

// Starts music once from its beginning. Null is ignored.
void audio_play_music(PlatformMusic* music);

// Stops and frees music (null is ignored), then stops output and closes the device.
void audio_stop(PlatformMusic* music);
