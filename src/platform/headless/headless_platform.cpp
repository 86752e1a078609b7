// No screen, no sound: the window is a record, the clock is virtual, events come from a script.

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/headless/headless.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "show/frame_count.h"
#include "show/virtual_clock.h"

static_assert(k_headless_default_fps == k_show_fps,
              "the headless clock runs at the show's own rate unless told otherwise");

HeadlessState g_headless;

struct PlatformWindow {};

namespace {

PlatformWindow g_window;

}  // namespace

// No one to show it to: the message has already gone to stderr.
void message_box_show(PlatformWindow*, const char*, const char*) {}

const char* platform_failure_reason() { return ""; }

std::uint32_t clock_now_ms() { return virtual_clock_ms(g_headless.frames, g_headless.fps); }

bool display_connect() { return true; }

ScreenSize display_screen_size() { return g_headless.screen; }

PlatformWindow* window_create(const char*, int width, int height)
{
    g_headless.client_on_screen = {0, 0, width, height};
    g_headless.window_on_screen = g_headless.client_on_screen;
    return &g_window;
}

Rect window_client_rect_on_screen(PlatformWindow*) { return g_headless.client_on_screen; }

Rect window_screen_rect(PlatformWindow*) { return g_headless.window_on_screen; }

void window_resize(PlatformWindow*, std::int32_t width, std::int32_t height)
{
    g_headless.window_calls.push_back({WindowCall::resize, width, height});
    Rect& r = g_headless.window_on_screen;
    r.right = r.left + width;
    r.bottom = r.top + height;
}

void window_place(PlatformWindow*, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
{
    g_headless.window_calls.push_back({WindowCall::place, x, y, width, height});
    g_headless.window_on_screen = {x, y, x + width, y + height};
}

void window_capture_pointer(PlatformWindow*) { g_headless.window_calls.push_back({WindowCall::capture}); }

void window_release_pointer() { g_headless.window_calls.push_back({WindowCall::release_capture}); }

// Events wait in pending_events until the test's pump takes them.
void events_set_handler(EventHandler) {}

bool events_poll(PlatformEvent* event)
{
    if (g_headless.pending_events.empty())
        return false;
    *event = g_headless.pending_events.front();
    g_headless.pending_events.erase(g_headless.pending_events.begin());
    return true;
}

bool audio_open_device(int) { return false; }

PlatformMusic* audio_load_music(std::FILE* file, SoundFormat)
{
    std::fclose(file);
    return nullptr;
}

const char* audio_failure_reason() { return "no sound output without a screen"; }

void audio_play_music(PlatformMusic*) {}

void audio_stop(PlatformMusic*) {}
