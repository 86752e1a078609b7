#pragma once

#include <cstdint>

// When a presentation layer waits out the screen's refresh itself. A display that waits for the
// vertical blank paces the show already; one that does not (a software renderer, a driver that
// ignores the request, a virtual X server, Wine's Flip) would let it spin at hundreds of frames a
// second, so the layer then sleeps until one period after the previous present.
struct Pacing {
    std::uint64_t period_ns = 0;
    bool pacing = false;     // the layer sleeps out the period itself
    int quick_in_a_row = 0;  // presents in a row that came less than half a period apart
    std::uint64_t last_present_ns = 0;
    std::uint64_t next_present_ns = 0;
};

// A display that claims to wait this many presents in a row, each under half a period after the
// one before, does not wait: from then on the layer paces it.
inline constexpr int k_quick_presents_to_pace = 8;

// Called when the layer's renderer is made: display_waits tells whether it claims to wait for the
// refresh, refresh_hz the screen's rate (0 or less when unknown: 60 Hz).
Pacing pacing_start(bool display_waits, int refresh_hz);

// Called right after each present with the monotonic time in nanoseconds. Returns the time to
// sleep until before the next frame is drawn; now_ns (or earlier) when there is nothing to wait for.
std::uint64_t pacing_after_present(Pacing* pacing, std::uint64_t now_ns);
