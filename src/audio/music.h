#pragma once

struct PlatformMusic;
struct PlatformWindow;

// The soundtrack stream from music_open until music_stop; null when there is none. No failure of
// the music layer stops the show: it goes on without sound, said in one line on stderr.
extern PlatformMusic* g_music_stream;

// Called once at start-up: opens the default output device at 44,100 Hz. 1 when it is open, else 0
// with one line on stderr; the caller ignores it.
int music_init(PlatformWindow* window);

// Prepares the file at path for streaming from disk, whatever sound format its content is in;
// null when there is no device, or, with one line on stderr naming it and the reason, when the
// file is missing, empty, not a regular file or cannot be decoded.
PlatformMusic* music_open(const char* path);

// Plays g_music_stream once from its beginning.
void music_play();

// Called once, at the show's end or from shutdown_now: frees the stream and stops output.
void music_stop();
