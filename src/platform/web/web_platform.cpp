// The browser as the show's screen: the page's canvas is the window, its key listeners the
// events, performance.now() the clock, and an in-page message the message box.

#include <emscripten.h>

#include <string>

#include "platform/clock.h"
#include "platform/events.h"
#include "platform/message_box.h"
#include "fx/frame_hash.h"
#include "platform/web/web_internal.h"
#include "platform/window.h"
#include "show/virtual_clock.h"

WebState g_web;

struct PlatformWindow {};

namespace {

PlatformWindow g_window;

// The page's JavaScript, kept as written: clang-format would take it for C++.
// clang-format off
// The page queues keydown codes in Module.web_keys (Escape 27, arrows 37..40 as everywhere);
// -1 when the queue is empty.
EM_JS(int, web_take_key, (), {
    const keys = Module["web_keys"];
    return keys && keys.length > 0 ? keys.shift() : -1;
});

EM_JS(void, web_show_message, (const char* text, const char* caption), {
    const t = UTF8ToString(text);
    const c = UTF8ToString(caption);
    console.log("message: " + t + " — " + c);
    if (Module["on_message"])
        Module["on_message"](t, c);
});

EM_JS(void, web_set_frame_hashes, (const char* joined), {
    const text = UTF8ToString(joined);
    if (Module["on_frame_hashes"])
        Module["on_frame_hashes"](text.length ? text.split(" ") : []);
});
// clang-format on

}  // namespace

// Shown in the page and the console; the show then ends as on every platform, and the page
// offers to play it again.
void message_box_show(PlatformWindow*, const char* text, const char* caption) { web_show_message(text, caption); }

const char* platform_failure_reason() { return ""; }

std::uint32_t clock_now_ms()
{
    if (g_web.virtual_fps != 0)
        return virtual_clock_ms(g_web.frames, g_web.virtual_fps);
    // Wraps like every platform's millisecond count.
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now()));
}

bool display_connect() { return true; }

// Both modes draw the same 640x480 canvas; the page scales it.
ScreenSize display_screen_size() { return {k_canvas_width, k_canvas_height}; }

PlatformWindow* window_create(const char*, int, int) { return &g_window; }

Rect window_client_rect_on_screen(PlatformWindow*) { return {0, 0, k_canvas_width, k_canvas_height}; }

Rect window_screen_rect(PlatformWindow*) { return {0, 0, k_canvas_width, k_canvas_height}; }

// A page cannot move or resize the browser's window: the arrow keys and drags change nothing.
void window_resize(PlatformWindow*, std::int32_t, std::int32_t) {}
void window_place(PlatformWindow*, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void window_capture_pointer(PlatformWindow*) {}
void window_release_pointer() {}

// As on SDL, pump_messages hands the handler what events_poll returns.
void events_set_handler(EventHandler) {}

bool events_poll(PlatformEvent* event)
{
    if (g_web.quit_requested) {
        g_web.quit_requested = false;
        *event = {.kind = EventKind::quit_requested};
        return true;
    }
    const int key = web_take_key();
    if (key < 0)
        return false;
    *event = {.kind = EventKind::key_down, .key = key};
    return true;
}

void web_publish_frame_hashes()
{
    std::string joined;
    joined.reserve(g_web.frame_hashes.size() * 17);
    for (const std::uint64_t hash : g_web.frame_hashes) {
        if (!joined.empty())
            joined += ' ';
        joined += hash_text(hash);
    }
    web_set_frame_hashes(joined.c_str());
}
