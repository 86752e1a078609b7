#pragma once

// The headless platform's own controls, for the tools and the tests that run the show without a
// screen: a virtual clock, scripted presentation results, and a record of what was asked of the
// window and the screen.

#include <cstdint>
#include <vector>

#include "fx/frame.h"
#include "platform/events.h"
#include "platform/presentation.h"
#include "platform/window.h"

// The virtual clock's rate unless a tool sets another: the show's own (held to it where the
// headless platform is built).
inline constexpr std::uint64_t k_headless_default_fps = 60;

enum class PresentOp {
    open,
    take_display,
    set_mode,
    create_flip_chain,
    back_buffer,
    share_desktop,
    create_primary,
    create_offscreen,
    clip_to_window,
    desktop_bits,
    describe,
    lock,
    unlock,
    flip,
    blit,
    restore,
    release_surface,
    release,
};

// A call to the window, as the window procedure's tests read it back.
struct WindowCall {
    enum Kind { resize, place, capture, release_capture } kind;
    std::int32_t a = 0;       // width, or x of a place
    std::int32_t b = 0;       // height, or y of a place
    std::int32_t width = 0;   // of a place
    std::int32_t height = 0;  // of a place
    bool operator==(const WindowCall&) const = default;
};

struct HeadlessState {
    // The virtual clock: frame n is shown at floor(n * 1000 / fps) ms, so every reading between
    // two frames gives the same value and picture loads take no clock time.
    std::uint64_t fps = k_headless_default_fps;
    std::uint64_t frames = 0;

    ScreenSize screen = {k_frame_width, k_frame_height};
    Rect client_on_screen = {0, 0, k_frame_width, k_frame_height};
    Rect window_on_screen = {0, 0, k_frame_width, k_frame_height};

    // Presentation: the back surface's row pitch in bytes (0: four bytes a pixel), the desktop's
    // bits per pixel, and results to hand out once each, in order, per operation.
    std::int32_t back_pitch_bytes = 0;
    std::uint32_t desktop_bits = 32;
    std::vector<std::pair<PresentOp, PresentResult>> scripted;

    // What happened.
    std::vector<PresentOp> present_calls;
    std::vector<std::uint8_t> back_memory;  // the back surface, pitch * height bytes
    SurfaceDescription back_desc = {};
    Rect last_blit = {};
    bool last_flip_wait = false;
    std::vector<WindowCall> window_calls;
    std::vector<PlatformEvent> pending_events;
};

// Everything the headless platform knows; tests reset it with g_headless = {} and script it.
extern HeadlessState g_headless;

// Called by the capture tool once per presented frame: the virtual clock moves on one frame.
inline void headless_advance_frame() { ++g_headless.frames; }
