// The show's clock is the multimedia timer, as it always was; the pacing measures with the
// performance counter.

#include "platform/clock.h"
#include "platform/win32/win32_internal.h"

#include <mmsystem.h>

std::uint32_t clock_now_ms() { return timeGetTime(); }

std::uint64_t win32_monotonic_ns()
{
    static const std::uint64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<std::uint64_t>(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
    constexpr std::uint64_t k_ns_per_second = 1'000'000'000u;
    // In two parts, so that a machine up for months does not overflow.
    return ticks / frequency * k_ns_per_second + ticks % frequency * k_ns_per_second / frequency;
}

void win32_sleep_until_ns(std::uint64_t deadline)
{
    const std::uint64_t now = win32_monotonic_ns();
    if (deadline <= now)
        return;
    // Whole milliseconds only: the pacing keeps its deadlines on a fixed grid, so waking a little
    // early costs no drift.
    const auto ms = static_cast<DWORD>((deadline - now) / 1'000'000u);
    if (ms > 0)
        Sleep(ms);
}
