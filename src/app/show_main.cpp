// The show: picks the mode from the command line, opens the window and the Display, starts the
// music and plays the timeline to its end.

#include "app/show_main.h"

#include <cstdio>
#include <new>

#include "app/command_line.h"
#include "app/data_location.h"
#include "app/shell.h"
#include "audio/music.h"
#include "display/display.h"
#include "display/display_mode.h"
#include "fx/frame.h"
#include "fx/show_frame.h"
#include "image/jpeg_loader.h"
#include "platform/clock.h"
#include "platform/fatal.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "show/data_set.h"
#include "show/timeline.h"
#include "version.h"

namespace {

constexpr const char* k_windowed_title = "BWAHAHHAHAHAHAHHAHAHAHAHAH";
constexpr const char* k_fullscreen_title = "BWAHAHAHAHAHAHAH";

void print_usage()
{
    std::printf("usage: velmorastik [-w]\n"
                "Plays the show %s\n"
                "A command line that starts with -w plays it in a 640x480 window; any other plays\n"
                "it full-screen.\n"
                "  --help     print this text and exit\n"
                "  --version  print the version and exit\n"
                "Keys: Escape ends the show; in the window, the arrow keys resize it and a drag with\n"
                "the left button moves it.\n"
                "Exit status: 1 when the show ran to its end, 0 when it was stopped, 2 when it failed.\n"
                "%s\n",
                data_location_usage(), further_reading_usage());
}

void show_frame()
{
    g_display->upload();
    g_display->present();
}

void attach_backbuffer(Frame32* backbuffer)
{
    g_display->source_frame = backbuffer != nullptr ? backbuffer->pixels : nullptr;
    pump_messages();
}

}  // namespace

int show_main(const std::string& command_line)
{
    switch (request_for(command_line)) {
    case Request::help:
        print_usage();
        return 0;
    case Request::version:
        std::printf("velmorastik %s\n", k_version);
        return 0;
    case Request::show:
        break;
    }
    g_display_mode = display_mode_for(command_line.c_str());

    events_set_handler(window_proc);
    if (!display_connect()) {
        std::fprintf(stderr, "velmorastik: cannot show anything: %s\n", platform_failure_reason());
        return k_fatal_exit_status;
    }
    use_installed_data_if_absent("velmorastik");
    if (g_display_mode == k_mode_windowed) {
        g_window = window_create(k_windowed_title, k_frame_width, k_frame_height);
    } else {
        const ScreenSize screen = display_screen_size();
        g_window = window_create(k_fullscreen_title, screen.width, screen.height);
    }
    if (g_window == nullptr)
        fatal_error("Cannot create the window", "error");

    g_display = new (std::nothrow) Display(g_window);
    if (g_display == nullptr)
        fatal_error("Not enough memory for the display", "error");
    g_display->init(g_display_mode, 0);

    reset_window_controls();
    prepare_show(attach_backbuffer);

    music_init(g_window);
    g_music_stream = music_open(k_soundtrack_path);
    music_play();

    run_show({
        .load_picture = load_picture,
        .draw_frame = draw_show_frame,
        .show_frame = show_frame,
        .pump_messages = pump_messages,
        .now = clock_now_ms,
    });

    stop_show();
    return 1;
}
