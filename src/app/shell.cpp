#include "app/shell.h"

#include <cstdlib>
#include <cstring>

#include "audio/music.h"
#include "display/display.h"
#include "fx/effect.h"
#include "fx/frame.h"
#include "image/jpeg_loader.h"
#include "platform/fatal.h"
#include "show/data_set.h"
#include "show/texture_file.h"

std::uint8_t g_display_mode = 0;
PlatformWindow* g_window = nullptr;

void pump_messages()
{
    PlatformEvent message;
    while (events_poll(&message)) {
        // Asked to quit: end at once, as the message loop always has, without stopping anything.
        if (message.kind == EventKind::quit_requested)
            std::exit(0);
        window_proc(g_window, message);
    }
}

void stop_show()
{
    music_stop();
    if (g_display != nullptr) {
        g_display->release();
        delete g_display;
        g_display = nullptr;
    }
}

void shutdown_now()
{
    stop_show();
    std::exit(0);
}

void prepare_show(void (*on_backbuffer)(Frame32* backbuffer))
{
    if (!effect_init(k_frame_width, k_frame_height, load_texture_file()))
        fatal_error("Not enough memory for the effect table", "error");
    Frame32* backbuffer = allocate_frame();
    on_backbuffer(backbuffer);
    if (backbuffer == nullptr)
        fatal_error("Not enough memory for virtual backbuffer", "error");
    g_virtual_backbuffer = backbuffer;
    std::memset(backbuffer->pixels, 0, k_frame_bytes);
    load_picture(k_intro_picture_path, &g_outgoing_picture);
}
