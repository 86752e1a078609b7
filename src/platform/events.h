#pragma once

#include <cstdint>

// Virtual-key codes of the keys the show looks at; every other key arrives with its own code.
inline constexpr std::int32_t k_key_escape = 27;
inline constexpr std::int32_t k_key_left = 37;
inline constexpr std::int32_t k_key_up = 38;
inline constexpr std::int32_t k_key_right = 39;
inline constexpr std::int32_t k_key_down = 40;

enum class EventKind {
    key_down,        // key: a virtual-key code
    pointer_move,    // x, y: the pointer in window coordinates, negative left of or above it
    button_down,     // left button; x, y as for pointer_move
    button_up,       // left button
    window_closed,   // the window is being destroyed (closed by the user or the desktop)
    quit_requested,  // the process was asked to end (SIGINT, SIGTERM, the session ending)
};

// A pointer coordinate as the show takes it: a signed 16-bit word, as Windows' window messages
// carry each one, so that a point left of or above the window is negative and one past 32767
// wraps. The one narrowing: the Win32 window procedure applies it to a message's words, the show's
// window controls to every platform's coordinates.
constexpr std::int32_t pointer_coordinate(std::int32_t value) { return static_cast<std::int16_t>(value); }

struct PlatformEvent {
    EventKind kind;
    std::int32_t key = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct PlatformWindow;

// The show's handler of window events, set once at start-up before the window exists.
using EventHandler = void (*)(PlatformWindow* window, const PlatformEvent& event);

// Where the platform has a window procedure of its own (Win32), that procedure hands each event to
// the handler as it is dispatched: inside events_poll, inside platform calls that send messages to
// the window, and inside a message box's modal loop; events_poll then returns only quit_requested.
// Elsewhere the handler is not called by the platform: pump_messages hands it what events_poll
// returns.
void events_set_handler(EventHandler handler);

// Takes the oldest pending event without waiting; false when there is none.
bool events_poll(PlatformEvent* event);
