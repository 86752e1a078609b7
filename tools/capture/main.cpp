// Plays the whole show headless against a virtual clock and writes its frames, exactly as the
// show draws them, without a screen: as raw frames, as a video with the soundtrack, as stills.

#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/data_location.h"
#include "app/shell.h"
#include "fps_option.h"
#include "frame_selection.h"
#include "fx/effect.h"
#include "fx/frame.h"
#include "image/jpeg_loader.h"
#include "output_file.h"
#include "platform/clock.h"
#include "platform/fatal.h"
#include "platform/headless/headless.h"
#include "png_still.h"
#include "progress.h"
#include "show/data_set.h"
#include "show/timeline.h"
#include "show_inputs.h"
#include "tool_exit.h"
#include "video_output.h"
#include "version.h"

namespace {

constexpr int k_max_crf = 51;

struct Capture {
    FrameSelection selection;
    OutputFile output;
    const char* output_name = nullptr;

    // Both named from where the user stands, whatever -C says.
    std::string video_path;
    std::string png_folder;
    VideoSettings video;
    bool audio = true;
    bool quiet = false;
    std::uint64_t written = 0;  // frames chosen and written
};

Capture g_capture;

// message: "what: path: reason", as the output modules put it.
[[noreturn]] void fail_with(const std::string& message) { tool_fail(message); }

void capture_frame()
{
    const std::uint64_t index = g_headless.frames;
    if (g_capture.selection.contains(index)) {
        if (g_capture.output.stream != nullptr &&
            std::fwrite(g_virtual_backbuffer->pixels, 1, k_frame_bytes, g_capture.output.stream) != k_frame_bytes)
            tool_fail_errno("cannot write", g_capture.output_name);
        std::string error;
        if (!g_capture.video_path.empty() &&
            !video_add_frame(*g_virtual_backbuffer, static_cast<std::int64_t>(index), &error))
            fail_with(error);
        if (!g_capture.png_folder.empty() && !png_still_write(*g_virtual_backbuffer, index, &error))
            fail_with(error);
        ++g_capture.written;
    }
    headless_advance_frame();
    progress_update(g_headless.frames);
}

void no_messages() {}

// The presets, comma-separated; broken into lines of the usage's width after indent when given.
std::string preset_list(const char* indent = nullptr)
{
    constexpr std::size_t k_width = 80;
    std::string list;
    std::size_t line_start = 0;
    for (const char* preset : k_video_presets) {
        if (!list.empty())
            list += ",";
        if (indent != nullptr && list.size() - line_start + std::strlen(preset) + 2 > k_width - std::strlen(indent)) {
            list += std::string("\n") + indent;
            line_start = list.size();
        } else if (!list.empty()) {
            list += " ";
        }
        list += preset;
    }
    return list;
}

void print_usage(std::FILE* stream)
{
    std::fprintf(stream,
               "usage: velmorastik-capture [OPTIONS] [OUT.mkv|OUT.mp4]\n"
               "Plays the show from DIR/data against a virtual clock. Without -C: from ./data, or\n"
               "from the installed data set when there is no data/ folder here.\n"
               "  OUT.mkv, OUT.mp4  encode the frames as an H.264 video with the soundtrack\n"
               "  -C DIR         change into DIR first\n"
               "  --fps N        frames per second of the virtual clock, 1 to %llu (default 60)\n"
               "  --raw FILE     write frames to FILE ('-' for standard output): 1,228,800 bytes\n"
               "                 each, 640x480 little-endian 32-bit words, no header\n"
               "  --png DIR      write frames as DIR/frame-NNNNN.png, exact colours\n"
               "  --frames LIST  frames to write: 0-based numbers and ranges A-B, comma-separated\n"
               "                 (default: all)\n"
               "  --crf N        video quality, 0 (lossless) to 51 (default 16)\n"
               "  --preset NAME  x264 preset (default medium), fastest first:\n"
               "                 %s\n"
               "  --pix-fmt F    yuv420p (default, plays everywhere) or yuv444p (crisp dots)\n"
               "  --no-audio     leave the soundtrack out of the video\n"
               "  --quiet        no progress for videos and stills\n"
               "  --version      print the version and exit\n"
               "Prints 'frames: N', the show's frame count, at the end.\n",
               static_cast<unsigned long long>(k_max_fps), preset_list("                 ").c_str());
}

// what: the mistake, or empty when getopt has already named it.
[[noreturn]] void usage_error(const std::string& what) { tool_usage_error(what, print_usage); }

// path as seen from where the user started, for use after -C.
std::string from_start(const char* path)
{
    if (path[0] == '/')
        return path;
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr)
        tool_fail_errno("cannot find the working folder", ".");
    return std::string(here) + "/" + path;
}

void parse_arguments(int argc, char** argv)
{
    enum { opt_fps = 256, opt_raw, opt_frames, opt_help, opt_version, opt_png, opt_crf, opt_preset,
           opt_pix_fmt, opt_no_audio, opt_quiet };
    static const option options[] = {
        {"fps", required_argument, nullptr, opt_fps},
        {"raw", required_argument, nullptr, opt_raw},
        {"frames", required_argument, nullptr, opt_frames},
        {"help", no_argument, nullptr, opt_help},
        {"png", required_argument, nullptr, opt_png},
        {"crf", required_argument, nullptr, opt_crf},
        {"preset", required_argument, nullptr, opt_preset},
        {"pix-fmt", required_argument, nullptr, opt_pix_fmt},
        {"no-audio", no_argument, nullptr, opt_no_audio},
        {"quiet", no_argument, nullptr, opt_quiet},
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
            const auto fps = parse_fps(optarg);
            if (!fps)
                usage_error("--fps must be 1 to " + std::to_string(k_max_fps));
            g_headless.fps = *fps;
            break;
        }
        case opt_raw:
            raw = optarg;
            break;
        case opt_frames: {
            const auto selection = FrameSelection::parse(optarg);
            if (!selection)
                usage_error("--frames takes numbers and ranges A-B (A <= B), comma-separated, not '" +
                            std::string(optarg) + "'");
            g_capture.selection = *selection;
            break;
        }
        case opt_png:
            g_capture.png_folder = from_start(optarg);
            break;
        case opt_crf: {
            char* end = nullptr;
            const long crf = std::strtol(optarg, &end, 10);
            if (*optarg < '0' || *optarg > '9' || *end != '\0' || crf > k_max_crf)
                usage_error("--crf must be 0 to 51");
            g_capture.video.crf = static_cast<int>(crf);
            break;
        }
        case opt_preset:
            if (!video_preset_known(optarg))
                usage_error("--preset must be one of " + preset_list());
            g_capture.video.preset = optarg;
            break;
        case opt_pix_fmt:
            if (std::strcmp(optarg, "yuv420p") != 0 && std::strcmp(optarg, "yuv444p") != 0)
                usage_error("--pix-fmt must be yuv420p or yuv444p");
            g_capture.video.pixel_format = optarg;
            break;
        case opt_no_audio:
            g_capture.audio = false;
            break;
        case opt_quiet:
            g_capture.quiet = true;
            break;
        case opt_help:
            print_usage(stdout);
            std::exit(0);
        case opt_version:
            std::printf("velmorastik-capture %s\n", k_version);
            std::exit(0);
        default:
            usage_error("");
        }
    }
    if (optind < argc)
        g_capture.video_path = from_start(argv[optind++]);
    if (optind != argc)
        usage_error("unexpected argument '" + std::string(argv[optind]) + "'");
    if (!g_capture.video_path.empty() && !video_format_known(g_capture.video_path))
        tool_fail("cannot tell the video format", argv[optind - 1], "the name must end in .mkv or .mp4");

    // The raw output is opened before changing directory, so a relative FILE names a file where
    // the user stands.
    if (raw != nullptr) {
        g_capture.output_name = raw;
        if (!open_output(raw, &g_capture.output))
            tool_fail_errno("cannot write", raw);
    }
    if (directory != nullptr && chdir(directory) != 0)
        tool_fail_errno("cannot enter", directory);
    if (directory == nullptr)
        use_installed_data_if_absent("velmorastik-capture");
}

// No output may be a file the show reads: the capture would destroy its own data set. Called in
// the data set's folder, before any frame is written.
void refuse_outputs_that_are_inputs()
{
    std::string input;
    if (g_capture.output.existed)
        input = show_input_matching(g_capture.output.device, g_capture.output.inode);
    if (!input.empty())
        tool_fail("cannot write", g_capture.output_name, "it is the show's own " + input);
    struct stat status;
    if (!g_capture.video_path.empty() && stat(g_capture.video_path.c_str(), &status) == 0)
        input = show_input_matching(status.st_dev, status.st_ino);
    if (!input.empty())
        tool_fail("cannot write", g_capture.video_path, "it is the show's own " + input);
    std::string still;
    if (!g_capture.png_folder.empty())
        input = show_input_among_stills(g_capture.png_folder, &still);
    if (!input.empty())
        tool_fail("cannot write", still, "it is the show's own " + input);
}

// Whatever way the capture ends before its output is complete, no partial file is left.
void discard_partial_output()
{
    discard_output(&g_capture.output);
    video_discard_file();
    png_stills_discard();
}

void on_stop_signal(int signal)
{
    discard_output(&g_capture.output);
    video_discard_file();
    png_stills_discard();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void open_outputs()
{
    std::string error;
    if (!g_capture.png_folder.empty() && !png_stills_open(g_capture.png_folder, &error))
        fail_with(error);

    if (g_capture.video_path.empty())
        return;
    g_capture.video.fps = static_cast<int>(g_headless.fps);
    if (g_capture.audio)
        g_capture.video.soundtrack = k_soundtrack_path;
    if (!video_open(g_capture.video_path.c_str(), g_capture.video, &error))
        fail_with(error);
    if (!video_audio_note().empty())
        tool_note("no soundtrack in the video (" + video_audio_note() + ")");
}

long long finish_outputs()
{
    const std::string missing = g_capture.selection.past_end(g_headless.frames);
    if (!missing.empty())
        tool_fail("the show has " + std::to_string(g_headless.frames) + " frames; there are no frames " + missing);
    if (g_capture.output.stream != nullptr && !commit_output(&g_capture.output))
        tool_fail_errno("cannot write", g_capture.output_name);
    std::int64_t bytes = 0;
    std::string error;
    if (!g_capture.video_path.empty() && !video_finish(&error, &bytes))
        fail_with(error);
    if (!g_capture.png_folder.empty() && !png_stills_commit(&error))
        fail_with(error);
    return bytes + static_cast<long long>(png_stills_bytes());
}

}  // namespace

int main(int argc, char** argv)
{
    tool_set_name("velmorastik-capture");
    // The show's own failures (a missing picture, a broken texture) end in the tools' form too.
    fatal_report_with([](const char* what, const char* path, const char* reason) { tool_fail(what, path, reason); });
    std::atexit(discard_partial_output);
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
    parse_arguments(argc, argv);
    refuse_outputs_that_are_inputs();

    prepare_show([](Frame32*) {});
    open_outputs();

    // Only the files that take a while report their progress.
    const bool reporting = !g_capture.video_path.empty() || !g_capture.png_folder.empty();
    const std::uint64_t phase_frames = k_fade_ms * g_headless.fps / 1000 + 1;
    progress_start(k_show_phases * phase_frames, g_capture.quiet || !reporting);

    run_show({
        .load_picture = load_picture,
        .draw_effect = draw_effect,
        .show_frame = capture_frame,
        .pump_messages = no_messages,
        .now = clock_now_ms,
    });

    const long long bytes = finish_outputs();
    progress_finish(g_capture.written, g_headless.frames, static_cast<double>(clock_now_ms()) / 1000,
                    g_headless.fps, bytes);
    // Frames on standard output must not be mixed with the count.
    std::FILE* report = g_capture.output.stream == stdout ? stderr : stdout;
    if (std::fprintf(report, "frames: %llu\n", static_cast<unsigned long long>(g_headless.frames)) < 0 ||
        std::fflush(report) != 0)
        tool_fail_errno("cannot write", report == stdout ? "standard output" : "standard error");
    return 0;
}
