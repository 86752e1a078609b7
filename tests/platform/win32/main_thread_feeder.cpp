// A wrong feeder for the sound's ring, linked into a build of the audio test in place of the
// feeder thread: the ring is refilled from the main thread's message loop, as by a program that
// decodes between its frames. A main thread busy for longer than the ring lasts lets the device
// run out, which the playback's checks must catch.

#include <windows.h>

#include "platform/win32/audio_ring.h"

namespace {

PlatformMusic* g_fed = nullptr;
UINT_PTR g_timer = 0;

// Called while the main thread hands out its messages, and only then.
void CALLBACK on_timer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_fed != nullptr && !ring_refill(g_fed))
        g_fed = nullptr;
}

}  // namespace

bool feeder_start(PlatformMusic* music)
{
    g_fed = music;
    ring_refill(music);
    g_timer = SetTimer(nullptr, 0, 10, on_timer);
    return g_timer != 0;
}

void feeder_stop(PlatformMusic*)
{
    if (g_timer != 0)
        KillTimer(nullptr, g_timer);
    g_timer = 0;
    g_fed = nullptr;
    ring_reset();
}
