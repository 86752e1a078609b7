// Plays the whole show headless against a virtual clock and writes its frames, exactly as the
// show draws them, without a screen.

#include <getopt.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/data_location.h"
#include "app/shell.h"
#include "frame_selection.h"
#include "fx/effect.h"
#include "fx/frame.h"
#include "image/jpeg_loader.h"
#include "platform/clock.h"
#include "platform/fatal.h"
#include "platform/headless/headless.h"
#include "show/timeline.h"
#include "version.h"

namespace {

constexpr int k_usage_status = 64;

struct Capture {
    FrameSelection selection;
    std::FILE* output = nullptr;
    const char* output_name = nullptr;
};

Capture g_capture;

void capture_frame()
{
    if (g_capture.output != nullptr && g_capture.selection.contains(g_headless.frames) &&
        std::fwrite(g_virtual_backbuffer->pixels, 1, k_frame_bytes, g_capture.output) != k_frame_bytes)
        fatal_error("ERROR WRITING...", g_capture.output_name);
    headless_advance_frame();
}

void no_messages() {}

void print_usage(std::FILE* stream)
{
    std::fputs("usage: velmorastik-capture [-C DIR] [--fps N] [--raw FILE] [--frames LIST]\n"
               "Plays the show from DIR/data against a virtual clock. Without -C: from ./data, or\n"
               "from the installed data set when there is no data/ folder here.\n"
               "  -C DIR         change into DIR first\n"
               "  --fps N        frames per second of the virtual clock (default 60)\n"
               "  --raw FILE     write frames to FILE ('-' for standard output): 1,228,800 bytes\n"
               "                 each, 640x480 little-endian 32-bit words, no header\n"
               "  --frames LIST  frames to write: 0-based numbers and ranges A-B, comma-separated\n"
               "                 (default: all)\n"
               "  --version      print the version and exit\n"
               "Prints 'frames: N', the show's frame count, at the end.\n",
               stream);
}

[[noreturn]] void usage_error()
{
    print_usage(stderr);
    std::exit(k_usage_status);
}

void parse_arguments(int argc, char** argv)
{
    enum { opt_fps = 256, opt_raw, opt_frames, opt_help, opt_version };
    static const option options[] = {
        {"fps", required_argument, nullptr, opt_fps},
        {"raw", required_argument, nullptr, opt_raw},
        {"frames", required_argument, nullptr, opt_frames},
        {"help", no_argument, nullptr, opt_help},
        {"version", no_argument, nullptr, opt_version},
        {nullptr, 0, nullptr, 0},
    };
    const char* directory = nullptr;
    const char* raw = nullptr;
    int option;
    while ((option = getopt_long(argc, argv, "C:", options, nullptr)) != -1) {
        switch (option) {
        case 'C':
            directory = optarg;
            break;
        case opt_fps: {
            char* end = nullptr;
            const unsigned long long fps = std::strtoull(optarg, &end, 10);
            if (*optarg < '0' || *optarg > '9' || *end != '\0' || fps == 0 || fps > 100000)
                usage_error();
            g_headless.fps = fps;
            break;
        }
        case opt_raw:
            raw = optarg;
            break;
        case opt_frames: {
            const auto selection = FrameSelection::parse(optarg);
            if (!selection)
                usage_error();
            g_capture.selection = *selection;
            break;
        }
        case opt_help:
            print_usage(stdout);
            std::exit(0);
        case opt_version:
            std::printf("velmorastik-capture %s\n", k_version);
            std::exit(0);
        default:
            usage_error();
        }
    }
    if (optind != argc)
        usage_error();

    // The output is opened before changing directory, so a relative FILE names a file where
    // the user stands.
    if (raw != nullptr) {
        g_capture.output_name = raw;
        g_capture.output = std::strcmp(raw, "-") == 0 ? stdout : std::fopen(raw, "wb");
        if (g_capture.output == nullptr)
            fatal_error("ERROR WRITING...", raw);
    }
    if (directory != nullptr && chdir(directory) != 0)
        fatal_error("ERROR LOCATING...", directory);
    if (directory == nullptr)
        use_installed_data_if_absent("velmorastik-capture");
}

}  // namespace

int main(int argc, char** argv)
{
    parse_arguments(argc, argv);

    prepare_show([](Frame32*) {});

    run_show({load_picture, draw_effect, capture_frame, no_messages, clock_now_ms});

    if (g_capture.output != nullptr && std::fflush(g_capture.output) != 0)
        fatal_error("ERROR WRITING...", g_capture.output_name);
    // Frames on standard output must not be mixed with the count.
    std::FILE* report = g_capture.output == stdout ? stderr : stdout;
    std::fprintf(report, "frames: %llu\n", static_cast<unsigned long long>(g_headless.frames));
    return 0;
}
