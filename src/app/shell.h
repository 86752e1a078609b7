#pragma once

#include <cstdint>

#include "platform/events.h"

struct Frame32;
struct PlatformWindow;

// k_mode_fullscreen or k_mode_windowed, from the command line; read by the window controls.
extern std::uint8_t g_display_mode;

// The show's one window, from start-up on.
extern PlatformWindow* g_window;

// The window's placement as the show records it: the arrow keys and drags change the record and
// then the window; the real placement is never read back.
struct WindowPlacement {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};
extern WindowPlacement g_window_placement;

// A drag: the client point where it took hold (-1, -1 until the first move after the press).
struct DragState {
    std::int32_t last_cursor_x;
    std::int32_t last_cursor_y;
    std::int32_t dragging;
};
extern DragState g_drag;

// Called at start-up before the effect is built: the window at (0, 0), 640x480, no drag.
void reset_window_controls();

// Called by pump_messages for every event: Escape ends the show; windowed, the arrow keys resize
// the window by 4 pixels and a left-button drag from its upper 384 rows moves it. Everything else
// is swallowed.
void window_proc(PlatformWindow* window, const PlatformEvent& message);

// Called between frames: hands every pending event to window_proc without waiting. A quit request
// ends the process at once with status 0, stopping nothing.
void pump_messages();

// The show's one way of stopping: stops the music and releases the Display (when there is one).
// Called by shutdown_now, and by show_main when the timeline has run to its end.
void stop_show();

// Escape or the window's end: stop_show, then exits with status 0.
[[noreturn]] void shutdown_now();

// Start-up steps that need no screen, shared by the show and the capture tool: reads the texture
// file and builds the effect, allocates the virtual backbuffer and hands it to on_backbuffer (null
// when memory is short, which then ends the process), clears it and loads the intro picture into
// g_outgoing_picture.
void prepare_show(void (*on_backbuffer)(Frame32* backbuffer));
