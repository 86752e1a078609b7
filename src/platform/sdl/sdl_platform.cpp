// The window, its events, the clock and the message box over SDL2.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"
#include "platform/events.h"
#include "platform/fatal.h"
#include "platform/message_box.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/sdl/sdl_x11.h"
#include "platform/window.h"

namespace {

char g_failure_reason[512] = "";
PlatformWindow g_window = {nullptr};

// The display mode is the desktop's again on every way out, fatal ones included: on X11 a mode
// change would outlive the process. SDL_Quit puts it back and closes the sound device.
void restore_desktop()
{
    if (g_window.sdl != nullptr) {
        if ((SDL_GetWindowFlags(g_window.sdl) & SDL_WINDOW_FULLSCREEN) != 0)
            SDL_SetWindowFullscreen(g_window.sdl, 0);
        x11_destroy_window(g_window.sdl);
        g_window.sdl = nullptr;
    }
    SDL_Quit();
}

// Windows virtual-key codes for what SDL calls a key: the show's keys, letters and digits.
std::int32_t virtual_key(SDL_Keycode key)
{
    switch (key) {
    case SDLK_ESCAPE:
        return k_key_escape;
    case SDLK_LEFT:
        return k_key_left;
    case SDLK_UP:
        return k_key_up;
    case SDLK_RIGHT:
        return k_key_right;
    case SDLK_DOWN:
        return k_key_down;
    case SDLK_RETURN:
        return 13;
    case SDLK_SPACE:
        return 32;
    default:
        if (key >= SDLK_a && key <= SDLK_z)
            return 'A' + (key - SDLK_a);
        if (key >= SDLK_0 && key <= SDLK_9)
            return key;
        return 0;
    }
}

// Some of SDL's video drivers show nothing anywhere; a show on one of them would run unseen.
bool is_real_video_driver(const char* name)
{
    return name != nullptr && std::strcmp(name, "offscreen") != 0 && std::strcmp(name, "dummy") != 0;
}

void end_during_message(int) { _exit(k_fatal_exit_status); }

}  // namespace

void sdl_record_failure(const char* what)
{
    std::snprintf(g_failure_reason, sizeof g_failure_reason, "%s: %s", what, SDL_GetError());
}

const char* platform_failure_reason() { return g_failure_reason; }

bool display_connect()
{
    // Closing the window ends the show through its own path, not as a quit request.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The software renderer then presents through shared-memory images instead of an OpenGL
    // texture: a fraction of the cost where OpenGL is itself done in software.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        sdl_record_failure("no display");
        return false;
    }
    std::atexit(restore_desktop);
    x11_guard_connection();
    if (!is_real_video_driver(SDL_GetCurrentVideoDriver()) || SDL_GetNumVideoDisplays() < 1) {
        std::snprintf(g_failure_reason, sizeof g_failure_reason,
                      "no display: only SDL's '%s' video driver is available (is DISPLAY set?)",
                      SDL_GetCurrentVideoDriver());
        return false;
    }
    return true;
}

ScreenSize display_screen_size()
{
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return {640, 480};
    return {mode.w, mode.h};
}

PlatformWindow* window_create(const char* title, int width, int height)
{
    g_window.sdl = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
    if (g_window.sdl == nullptr) {
        sdl_record_failure("cannot create the window");
        return nullptr;
    }
    x11_watch_window(g_window.sdl);
    SDL_RaiseWindow(g_window.sdl);
    SDL_ShowCursor(SDL_DISABLE);
    return &g_window;
}

Rect window_client_rect_on_screen(PlatformWindow* window)
{
    // Borderless: the client area is the whole window.
    return window_screen_rect(window);
}

Rect window_screen_rect(PlatformWindow* window)
{
    int x = 0, y = 0, width = 0, height = 0;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    SDL_GetWindowSize(window->sdl, &width, &height);
    return {x, y, x + width, y + height};
}

void window_resize(PlatformWindow* window, std::int32_t width, std::int32_t height)
{
    SDL_SetWindowSize(window->sdl, width, height);
    SDL_SetWindowAlwaysOnTop(window->sdl, SDL_TRUE);
}

void window_place(PlatformWindow* window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
{
    SDL_SetWindowSize(window->sdl, width, height);
    SDL_SetWindowPosition(window->sdl, x, y);
    SDL_SetWindowAlwaysOnTop(window->sdl, SDL_TRUE);
}

void window_capture_pointer(PlatformWindow*) { SDL_CaptureMouse(SDL_TRUE); }

void window_release_pointer() { SDL_CaptureMouse(SDL_FALSE); }

// SDL queues every event until pump_messages polls it.
void events_set_handler(EventHandler) {}

bool events_poll(PlatformEvent* event)
{
    SDL_Event e;
    while (SDL_PollEvent(&e) != 0) {
        switch (e.type) {
        case SDL_SYSWMEVENT:
            x11_look_at(e);
            break;
        case SDL_KEYDOWN:
            *event = {EventKind::key_down, virtual_key(e.key.keysym.sym), 0, 0};
            return true;
        case SDL_MOUSEMOTION:
            *event = {EventKind::pointer_move, 0, e.motion.x, e.motion.y};
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT)
                break;
            *event = {e.type == SDL_MOUSEBUTTONDOWN ? EventKind::button_down : EventKind::button_up, 0, e.button.x,
                      e.button.y};
            return true;
        case SDL_WINDOWEVENT:
            if (e.window.event != SDL_WINDOWEVENT_CLOSE)
                break;
            *event = {EventKind::window_closed, 0, 0, 0};
            return true;
        case SDL_QUIT:
            *event = {EventKind::quit_requested, 0, 0, 0};
            return true;
        default:
            break;
        }
    }
    // Destroyed by another client: closed all the same.
    if (x11_take_window_destroyed()) {
        *event = {EventKind::window_closed, 0, 0, 0};
        return true;
    }
    return false;
}

std::uint32_t clock_now_ms() { return SDL_GetTicks(); }

void message_box_show(PlatformWindow* owner, const char* text, const char* caption)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || !is_real_video_driver(SDL_GetCurrentVideoDriver()))
        return;
    SDL_Window* window = owner != nullptr ? owner->sdl : nullptr;
    // The box must be seen and answered: give the desktop its mode back and the pointer.
    if (g_window.sdl != nullptr && (SDL_GetWindowFlags(g_window.sdl) & SDL_WINDOW_FULLSCREEN) != 0)
        SDL_SetWindowFullscreen(g_window.sdl, 0);
    SDL_ShowCursor(SDL_ENABLE);
    // The box waits for a click; a request to quit meanwhile ends the failing process at once.
    struct sigaction end_now = {};
    end_now.sa_handler = end_during_message;
    sigaction(SIGINT, &end_now, nullptr);
    sigaction(SIGTERM, &end_now, nullptr);
    x11_box_children_die_with_parent(true);
    SDL_ShowSimpleMessageBox(0, caption, text, window);
    x11_box_children_die_with_parent(false);
}
