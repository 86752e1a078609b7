#pragma once

// What the Win32 platform's files share: the one window, the process's start-up arguments and the
// reason behind the latest failure.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>

struct PlatformWindow {
    HWND hwnd;
};

struct Win32State {
    HINSTANCE instance;
    int show_command;  // how WinMain was asked to show the window
    PlatformWindow window;
    char failure_reason[256];
};

extern Win32State g_win32;

// Keeps "what (Windows' words for error)" as the platform's failure reason.
void win32_record_failure(const char* what, DWORD error);

// The monotonic time in nanoseconds, and a sleep until such a time (to about a millisecond).
std::uint64_t win32_monotonic_ns();
void win32_sleep_until_ns(std::uint64_t deadline);
