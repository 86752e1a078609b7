#pragma once

#include <SDL.h>

// What SDL leaves to Xlib's defaults on X11, made safe for the show.

// Called once after SDL's video starts; does nothing off X11. A lost connection to the X server
// then ends the process at once with the fatal status, touching X no more (Xlib's default exits
// through the atexit restore, which spins on the dead connection). Protocol errors are reported
// on stderr and survived instead of ending the process as if the show were complete.
void x11_guard_connection();

// Called once the show's window exists: from then on its destruction by another client is noticed,
// and the requests that fail because of it are expected, not reported.
void x11_watch_window(SDL_Window* window);

// Destroys the window and, on X11, waits until the server has answered, so that a window already
// destroyed by another client is reported while the show's own error handler still stands
// (SDL_Quit puts Xlib's back, whose answer to a late BadWindow is exit(1)).
void x11_destroy_window(SDL_Window* window);

// Called with every SDL_SYSWMEVENT: notices the show's window being destroyed.
void x11_look_at(const SDL_Event& event);

// True once, the first time it is asked after the show's window was destroyed from outside.
bool x11_take_window_destroyed();

// Called around showing a message box: SDL shows it from a forked child, which must not outlive
// the show (a signal that ends the show would leave the box and the frozen window on screen).
void x11_box_children_die_with_parent(bool enabled);
