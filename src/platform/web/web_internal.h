#pragma once

// What the web platform's files share: the run's mode, chosen by the page before the show starts.

#include <cstdint>
#include <vector>

inline constexpr int k_canvas_width = 640;
inline constexpr int k_canvas_height = 480;

struct WebState {
    // Test mode: frame n is shown at floor(n * 1000 / virtual_fps) ms of show time, as fast as
    // the page can draw, without sound; 0 plays live against the browser's clock.
    std::uint64_t virtual_fps = 0;
    std::uint64_t frames = 0;
    // Test mode's record: the hash of every presented frame, in order.
    std::vector<std::uint64_t> frame_hashes;
};

extern WebState g_web;

// Hands the test mode's record to the page (window.showFrameHashes); called once at the end.
void web_publish_frame_hashes();
