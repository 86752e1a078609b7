#pragma once

#include <cstdint>

// The show's one window. Opaque to the portable code: the platform alone knows what stands behind it.
struct PlatformWindow;

struct Rect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

struct ScreenSize {
    int width;
    int height;
};

// Called first at start-up: connects to the screen. False, with platform_failure_reason() set,
// when there is none to show anything on (no X server or compositor).
bool display_connect();

// The desktop's size in pixels, for the full-screen window.
ScreenSize display_screen_size();

// Creates the borderless window at (0, 0) with its title and size, shows it on top, and hides the
// pointer over it. Null, with the reason set, when the platform refuses.
PlatformWindow* window_create(const char* title, int width, int height);

// The client area in screen coordinates.
Rect window_client_rect_on_screen(PlatformWindow* window);

// The whole window in screen coordinates, read afresh on every call.
Rect window_screen_rect(PlatformWindow* window);

// The largest side a window is ever asked for: X servers refuse sizes past 65,535 and drivers
// commonly stop at 16,384, while the arrow keys have no limit of their own.
inline constexpr std::int32_t k_window_extent_max = 16384;

// A side of the window as the platform may be asked for it: 1..k_window_extent_max.
constexpr std::int32_t window_extent(std::int32_t side)
{
    return side < 1 ? 1 : side > k_window_extent_max ? k_window_extent_max : side;
}

// Resizes the window keeping its position and places it on top. Called with sides that
// window_extent has already bounded.
void window_resize(PlatformWindow* window, std::int32_t width, std::int32_t height);

// Moves the window's top-left corner to (x, y) in screen coordinates, gives it the size asked (so
// that a window resized from outside takes the recorded size again) and places it on top. Called
// with sides that window_extent has already bounded.
void window_place(PlatformWindow* window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);

// While captured, pointer moves and the button release reach the window even outside it.
void window_capture_pointer(PlatformWindow* window);
void window_release_pointer();
