#pragma once

#include <windows.h>

#include "platform/win32/sound_source.h"

// Inside the Windows sound output: the ring of waveOut buffers (win32_audio.cpp) and the feeder
// that keeps it full (audio_feeder.cpp, a thread of its own). The tests link a feeder of their own
// in its place, to show that what they count catches one that waits for the main thread.

struct PlatformMusic {
    SoundSource source;
    bool ended;    // the source has given its last frame; touched by the feeder only
    bool started;  // the feeder has been started for it
};

// Hands every buffer back from the device the music's next piece, and counts what it found.
// False once the music has ended and every buffer has come back. Called by the feeder only.
bool ring_refill(PlatformMusic* music);

// The event the device sets as each buffer comes back: the feeder's cue to refill.
HANDLE ring_buffer_done();

// Takes every buffer back from the device at once. Called by the feeder as it stops, from the
// thread that writes, so that no write can follow.
void ring_reset();

// Called by audio_play_music: keeps the ring full from now on. False when it cannot.
bool feeder_start(PlatformMusic* music);

// Called before the music or the device goes: when it returns nothing more is written and the
// device holds no buffer.
void feeder_stop(PlatformMusic* music);

// What the refills found since the music started, for the tests: whether the device ever ran out
// of our sound, apart from whatever Wine and the sound server do with it afterwards.
struct RingReport {
    long buffers_written;
    long refills;         // those between the first fill and the music's end
    long ran_dry;         // of them, the ones that found every buffer back: the sound had stopped
    int least_queued_ms;  // the least sound the device still held at one of them
};

// Safe to call from any thread at any time.
RingReport ring_report();
