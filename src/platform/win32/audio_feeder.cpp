// The feeder of the sound's ring: a thread of the audio layer's own, woken by the device as each
// buffer comes back. The main thread only starts and stops it, so a picture load or a message box
// that holds the main thread for seconds leaves no gap in the sound.

#include <windows.h>

#include <atomic>

#include "platform/win32/audio_ring.h"

namespace {

HANDLE g_feeder = nullptr;
std::atomic<bool> g_stop_feeding{false};

DWORD WINAPI feed(void* music)
{
    for (;;) {
        if (g_stop_feeding.load()) {
            // Here rather than on the stopping thread, so that no write can follow the reset.
            ring_reset();
            return 0;
        }
        if (!ring_refill(static_cast<PlatformMusic*>(music)))
            return 0;  // played to its end, once
        WaitForSingleObject(ring_buffer_done(), INFINITE);
    }
}

}  // namespace

bool feeder_start(PlatformMusic* music)
{
    g_stop_feeding.store(false);
    g_feeder = CreateThread(nullptr, 0, feed, music, 0, nullptr);
    if (g_feeder == nullptr)
        return false;
    // Ahead of the show's own thread: its refills are small and must never wait for a frame.
    SetThreadPriority(g_feeder, THREAD_PRIORITY_HIGHEST);
    return true;
}

void feeder_stop(PlatformMusic*)
{
    if (g_feeder == nullptr)
        return;
    g_stop_feeding.store(true);
    SetEvent(ring_buffer_done());
    WaitForSingleObject(g_feeder, INFINITE);
    CloseHandle(g_feeder);
    g_feeder = nullptr;
}
