#pragma once

// What the web platform's files share: the run's mode, chosen by the page before the show starts.

#include <cstdint>
#include <vector>

#include "fx/frame.h"

// The canvas is the frame, pixel for pixel.
inline constexpr int k_canvas_width = k_frame_width;
inline constexpr int k_canvas_height = k_frame_height;

struct WebState {
    // Test mode: frame n is shown at floor(n * 1000 / virtual_fps) ms of show time, as fast as
    // the page can draw, without sound; 0 plays live against the browser's clock.
    std::uint64_t virtual_fps = 0;
    std::uint64_t frames = 0;  // presented so far
    // Test mode may stop after this many frames (0: at the show's end), with the last one on the
    // canvas for the tests to read back; the stop arrives as a quit request.
    std::uint64_t frame_limit = 0;
    bool quit_requested = false;
    // The maker's video: test mode hands every frame to the page's Module.on_video_frame, which
    // encodes it, and waits for it, so that the encoder's queue stays short.
    bool hand_frames = false;
    // Test mode's record: the hash of every presented frame, in order.
    std::vector<std::uint64_t> frame_hashes;
};

extern WebState g_web;

// Hands the test mode's record to the page (window.showFrameHashes); called once at the end.
void web_publish_frame_hashes();
