#include "app/shell.h"
#include "display/display_mode.h"
#include "platform/events.h"
#include "platform/window.h"

WindowPlacement g_window_placement;
DragState g_drag;

namespace {

constexpr std::int32_t k_resize_step = 4;
// Presses in the lowest 96 rows of the 480-row window do not start a drag.
constexpr std::int32_t k_drag_rows = 384;

void key_down(PlatformWindow* window, std::int32_t key)
{
    if (key == k_key_escape)
        shutdown_now();
    if (g_display_mode != k_mode_windowed)
        return;
    WindowPlacement& p = g_window_placement;
    switch (key) {
    case k_key_left:
        p.width -= k_resize_step;
        break;
    case k_key_right:
        p.width += k_resize_step;
        break;
    case k_key_up:
        p.height -= k_resize_step;
        break;
    case k_key_down:
        p.height += k_resize_step;
        break;
    default:
        return;
    }
    // The record follows the keys; the window stops at what a screen can take.
    window_resize(window, window_extent(p.width), window_extent(p.height));
}

void pointer_move(PlatformWindow* window, std::int32_t x, std::int32_t y)
{
    const std::int32_t cx = pointer_coordinate(x);
    const std::int32_t cy = pointer_coordinate(y);
    if (g_drag.dragging != 0 && g_drag.last_cursor_x != -1) {
        // The window follows the pointer, so the pointer stays over the point where the drag took
        // hold, and every move is measured from that point.
        g_window_placement.x += cx - g_drag.last_cursor_x;
        g_window_placement.y += cy - g_drag.last_cursor_y;
        // The recorded size goes with the place: a window resized from outside takes it again.
        const WindowPlacement& p = g_window_placement;
        window_place(window, p.x, p.y, window_extent(p.width), window_extent(p.height));
    } else {
        g_drag.last_cursor_x = cx;
        g_drag.last_cursor_y = cy;
    }
}

}  // namespace

void reset_window_controls()
{
    g_window_placement = {0, 0, 640, 480};
    g_drag = {-1, -1, 0};
}

void window_proc(PlatformWindow* window, const PlatformEvent& message)
{
    switch (message.kind) {
    case EventKind::window_closed:
        shutdown_now();
    case EventKind::key_down:
        key_down(window, message.key);
        return;
    case EventKind::quit_requested:
        return;  // pump_messages' own business
    default:
        break;
    }
    if (g_display_mode != k_mode_windowed)
        return;
    switch (message.kind) {
    case EventKind::pointer_move:
        pointer_move(window, message.x, message.y);
        break;
    case EventKind::button_down:
        if (pointer_coordinate(message.y) < k_drag_rows) {
            window_capture_pointer(window);
            g_drag = {-1, -1, 1};
        }
        break;
    case EventKind::button_up:
        g_drag.dragging = 0;
        window_release_pointer();
        break;
    default:
        break;
    }
}
