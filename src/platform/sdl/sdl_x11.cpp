// Xlib's defaults, replaced where they would hang the show or misreport its end.

#include "platform/sdl/sdl_x11.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/fatal.h"

namespace {

SDL_Window* g_window = nullptr;
Window g_closing_id = 0;  // the window being destroyed on the way out
bool g_window_destroyed = false;
bool g_destroy_reported = false;
pid_t g_box_parent = 0;  // set while a message box is being shown

// The show's X window as it is now: SDL makes a new one when a renderer needs another kind.
Window window_id()
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (g_window == nullptr || SDL_GetWindowWMInfo(g_window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

// Reached from inside Xlib with the connection gone: nothing here may speak to the server, and
// nothing after it may run (the atexit restore would wait on the dead connection for ever).
int on_connection_lost(Display* display)
{
    char line[256];
    const int length = std::snprintf(line, sizeof line, "%s: lost the display %s\n", program_invocation_short_name,
                                     DisplayString(display));
    if (length > 0)
        (void)!write(STDERR_FILENO, line, static_cast<std::size_t>(length) < sizeof line ? length : sizeof line - 1);
    _exit(k_fatal_exit_status);
}

int on_protocol_error(Display* display, XErrorEvent* error)
{
    // Once another client has destroyed the window, every request on it fails until the show
    // notices and ends; those failures say nothing new.
    const Window window = window_id();
    const bool ours = error->resourceid != 0 && (error->resourceid == window || error->resourceid == g_closing_id);
    if (ours && (error->error_code == BadWindow || error->error_code == BadDrawable)) {
        g_window_destroyed = true;
        return 0;
    }
    char text[160] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "%s: the X server refused a request (%s; request %d.%d, resource 0x%lx)\n",
                 program_invocation_short_name, text, error->request_code, error->minor_code, error->resourceid);
    return 0;
}

// In the child of any fork made while a box is shown: die with the show, and at once if it has
// already ended between the fork and here.
void box_child_dies_with_parent()
{
    if (g_box_parent == 0)
        return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != g_box_parent)
        _exit(k_fatal_exit_status);
}

}  // namespace

void x11_guard_connection()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") != 0)
        return;
    XSetIOErrorHandler(on_connection_lost);
    XSetErrorHandler(on_protocol_error);
    // DestroyNotify reaches the show only through SDL's window-manager events.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void x11_watch_window(SDL_Window* window) { g_window = window; }

void x11_destroy_window(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    const bool x11 = SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11;
    if (x11)
        g_closing_id = info.info.x11.window;
    if (window == g_window)
        g_window = nullptr;
    SDL_DestroyWindow(window);
    if (x11)
        XSync(info.info.x11.display, False);
}

void x11_look_at(const SDL_Event& event)
{
    const SDL_SysWMmsg* message = event.syswm.msg;
    if (message == nullptr || message->subsystem != SDL_SYSWM_X11 || message->msg.x11.event.type != DestroyNotify)
        return;
    const Window window = window_id();
    if (window != 0 && message->msg.x11.event.xdestroywindow.window == window)
        g_window_destroyed = true;
}

bool x11_take_window_destroyed()
{
    if (!g_window_destroyed || g_destroy_reported)
        return false;
    g_destroy_reported = true;
    return true;
}

void x11_box_children_die_with_parent(bool enabled)
{
    static bool registered = false;
    if (enabled && !registered)
        registered = pthread_atfork(nullptr, nullptr, box_child_dies_with_parent) == 0;
    g_box_parent = enabled ? getpid() : 0;
}
