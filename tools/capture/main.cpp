// Plays the whole show headless against a virtual clock and writes its frames, exactly as the
// show draws them, without a screen.

#include <getopt.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fps_option.h"
#include "frame_selection.h"
#include "fx/effect.h"
#include "fx/frame.h"
#include "image/jpeg_loader.h"
#include "output_file.h"
#include "platform/fatal.h"
#include "show/timeline.h"

namespace {

constexpr int k_usage_status = 64;

struct Capture {
    std::uint64_t fps = 60;
    std::uint64_t presented = 0;
    FrameSelection selection;
    OutputFile output;
    const char* output_name = nullptr;
};

Capture g_capture;

// Frame n is drawn at floor(n * 1000 / fps) ms: every reading between two presented frames gives
// the same value, so picture loads take no clock time.
std::uint32_t capture_clock()
{
    return static_cast<std::uint32_t>(g_capture.presented * 1000 / g_capture.fps);
}

void capture_frame()
{
    if (g_capture.output.stream != nullptr && g_capture.selection.contains(g_capture.presented) &&
        std::fwrite(g_virtual_backbuffer->pixels, 1, k_frame_bytes, g_capture.output.stream) != k_frame_bytes)
        fatal_system_error("ERROR WRITING...", "write", g_capture.output_name);
    ++g_capture.presented;
}

void no_messages() {}

void print_usage(std::FILE* stream)
{
    std::fputs("usage: velmorastik-capture [-C DIR] [--fps N] [--raw FILE] [--frames LIST]\n"
               "Plays the show from DIR/data (default: ./data) against a virtual clock.\n"
               "  -C DIR         change into DIR first\n"
               "  --fps N        frames per second of the virtual clock (default 60)\n"
               "  --raw FILE     write frames to FILE ('-' for standard output): 1,228,800 bytes\n"
               "                 each, 640x480 little-endian 32-bit words, no header\n"
               "  --frames LIST  frames to write: 0-based numbers and ranges A-B, comma-separated\n"
               "                 (default: all)\n"
               "Prints 'frames: N', the show's frame count, at the end.\n",
               stream);
}

// what: the mistake, or null when getopt has already named it.
[[noreturn]] void usage_error(const char* what)
{
    if (what != nullptr)
        std::fprintf(stderr, "velmorastik-capture: %s\n", what);
    print_usage(stderr);
    std::exit(k_usage_status);
}

void parse_arguments(int argc, char** argv)
{
    enum { opt_fps = 256, opt_raw, opt_frames, opt_help };
    static const option options[] = {
        {"fps", required_argument, nullptr, opt_fps},
        {"raw", required_argument, nullptr, opt_raw},
        {"frames", required_argument, nullptr, opt_frames},
        {"help", no_argument, nullptr, opt_help},
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
            const auto fps = parse_fps(optarg);
            if (!fps)
                usage_error("--fps must be 1 to 100000");
            g_capture.fps = *fps;
            break;
        }
        case opt_raw:
            raw = optarg;
            break;
        case opt_frames: {
            const auto selection = FrameSelection::parse(optarg);
            if (!selection)
                usage_error(("--frames takes numbers and ranges A-B (A <= B), comma-separated, not '" +
                             std::string(optarg) + "'").c_str());
            g_capture.selection = *selection;
            break;
        }
        case opt_help:
            print_usage(stdout);
            std::exit(0);
        default:
            usage_error(nullptr);
        }
    }
    if (optind != argc)
        usage_error(("unexpected argument '" + std::string(argv[optind]) + "'").c_str());

    // The output is opened before changing directory, so a relative FILE names a file where
    // the user stands.
    if (raw != nullptr) {
        g_capture.output_name = raw;
        if (!open_output(raw, &g_capture.output))
            fatal_system_error("ERROR WRITING...", "write", raw);
    }
    if (directory != nullptr && chdir(directory) != 0)
        fatal_system_error("ERROR LOCATING...", "enter", directory);
}

// Whatever way the capture ends before its output is complete, no partial file is left.
void discard_partial_output()
{
    discard_output(&g_capture.output);
}

void on_stop_signal(int signal)
{
    discard_output(&g_capture.output);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void finish_output()
{
    const std::string missing = g_capture.selection.past_end(g_capture.presented);
    if (!missing.empty()) {
        std::fprintf(stderr, "velmorastik-capture: the show has %llu frames; there are no frames %s\n",
                     static_cast<unsigned long long>(g_capture.presented), missing.c_str());
        std::exit(k_fatal_exit_status);
    }
    if (g_capture.output.stream != nullptr && !commit_output(&g_capture.output))
        fatal_system_error("ERROR WRITING...", "write", g_capture.output_name);
}

}  // namespace

int main(int argc, char** argv)
{
    std::atexit(discard_partial_output);
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
    parse_arguments(argc, argv);

    effect_init(k_frame_width, k_frame_height);
    g_virtual_backbuffer = allocate_frame();
    if (g_virtual_backbuffer == nullptr)
        fatal_error("Not enough memory for virtual backbuffer", "error");
    load_picture("data/gfx/misc/tzback.jpg", &g_outgoing_picture);

    run_show({load_picture, draw_effect, capture_frame, no_messages, capture_clock});

    finish_output();
    // Frames on standard output must not be mixed with the count.
    std::FILE* report = g_capture.output.stream == stdout ? stderr : stdout;
    if (std::fprintf(report, "frames: %llu\n", static_cast<unsigned long long>(g_capture.presented)) < 0 ||
        std::fflush(report) != 0)
        fatal_system_error("ERROR WRITING...", "write", report == stdout ? "standard output" : "standard error");
    return 0;
}
