// Plays the whole show headless against a virtual clock and writes its frames, exactly as the
// show draws them, without a screen: as raw frames, as a video with the soundtrack, as stills, or
// as each frame's hash.

#include <getopt.h>
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
#include "fx/frame.h"
#include "fx/frame_hash.h"
#include "fx/show_frame.h"
#include "image/jpeg_loader.h"
#include "media_outputs.h"
#include "platform/clock.h"
#include "platform/fatal.h"
#include "platform/headless/headless.h"
#include "platform/output_file.h"
#include "progress.h"
#include "show/data_set.h"
#include "show/timeline.h"
#include "show_inputs.h"
#include "tool_exit.h"
#include "version.h"

namespace {

// A file the user named, opened before the show starts.
struct NamedOutput {
    OutputFile* file = nullptr;
    const char* name = nullptr;
};

struct Capture {
    FrameSelection selection;
    NamedOutput raw;                            // the frames' bytes, when asked for
    NamedOutput hashes;                         // a line per frame, when asked for
    std::uint64_t digest = k_frame_hash_basis;  // of the chosen frames as one stream
    std::uint64_t written = 0;                  // frames chosen and written
};

Capture g_capture;

void write_hash(const Frame32& frame)
{
    g_capture.digest = frame_hash_add(g_capture.digest, frame.pixels, k_frame_bytes);
    char text[k_hash_digits + 1];
    hash_text(frame_hash(frame), text);
    if (std::fprintf(output_stream(*g_capture.hashes.file), "%s\n", text) < 0)
        tool_fail_errno("cannot write", g_capture.hashes.name);
}

void capture_frame()
{
    const std::uint64_t index = g_headless.frames;
    if (g_capture.selection.contains(index)) {
        if (g_capture.raw.file != nullptr && std::fwrite(g_virtual_backbuffer->pixels, 1, k_frame_bytes,
                                                         output_stream(*g_capture.raw.file)) != k_frame_bytes)
            tool_fail_errno("cannot write", g_capture.raw.name);
        if (g_capture.hashes.file != nullptr)
            write_hash(*g_virtual_backbuffer);
        media_add_frame(*g_virtual_backbuffer, index);
        ++g_capture.written;
    }
    headless_advance_frame();
    progress_update(g_headless.frames);
}

void no_messages() {}

void print_usage(std::FILE* stream)
{
    const MediaUsage media = media_usage();
    std::fprintf(stream,
                 "usage: velmorastik-capture [OPTIONS]%s\n"
                 "Plays the show from DIR/data against a virtual clock; without -C,\n"
                 "%s\n"
                 "%s"
                 "  -C DIR         change into DIR first\n"
                 "  --fps N        frames per second of the virtual clock, 1 to %llu (default 60)\n"
                 "  --raw FILE     write frames to FILE ('-' for standard output): 1,228,800 bytes\n"
                 "                 each, 640x480 little-endian 32-bit words, no header\n"
                 "  --hashes FILE  write each frame's hash to FILE ('-' for standard output), a\n"
                 "                 line of 16 hex digits (64-bit FNV-1a over the frame's 64-bit\n"
                 "                 words), then 'digest: ' and that hash over all of them as one\n"
                 "                 stream, and 'frames: N'; to compare runs frame by frame\n"
                 "%s"
                 "  --frames LIST  frames to write: 0-based numbers and ranges A-B, comma-separated\n"
                 "                 (default: all)\n"
                 "%s"
                 "  --version      print the version and exit\n"
                 "Prints 'frames: N', the show's frame count, at the end.\n",
                 media.operand.c_str(), data_location_usage(), media.outputs.c_str(),
                 static_cast<unsigned long long>(k_max_fps), media.stills.c_str(), media.settings.c_str());
}

void open_named(NamedOutput& output, const char* name)
{
    if (name == nullptr)
        return;
    output.name = name;
    std::string reason;
    output.file = output_open(name, &reason);
    if (output.file == nullptr)
        tool_fail("cannot write", name, reason);
}

// what: the mistake, or empty when getopt has already named it.
[[noreturn]] void usage_error(const std::string& what) { tool_usage_error(what, print_usage); }

void parse_arguments(int argc, char** argv)
{
    enum { opt_fps = 256, opt_raw, opt_hashes, opt_frames, opt_help, opt_version, opt_media };
    // Every build knows the video and still options, so that one without them can say so.
    static const option options[] = {
        {"fps", required_argument, nullptr, opt_fps},
        {"raw", required_argument, nullptr, opt_raw},
        {"hashes", required_argument, nullptr, opt_hashes},
        {"frames", required_argument, nullptr, opt_frames},
        {"help", no_argument, nullptr, opt_help},
        {"png", required_argument, nullptr, opt_media},
        {"crf", required_argument, nullptr, opt_media},
        {"preset", required_argument, nullptr, opt_media},
        {"pix-fmt", required_argument, nullptr, opt_media},
        {"no-audio", no_argument, nullptr, opt_media},
        {"quiet", no_argument, nullptr, opt_media},
        {"version", no_argument, nullptr, opt_version},
        {nullptr, 0, nullptr, 0},
    };
    const char* directory = nullptr;
    const char* raw = nullptr;
    const char* hashes = nullptr;
    int option;
    int index = 0;
    while ((option = getopt_long(argc, argv, "C:", options, &index)) != -1) {
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
        case opt_hashes:
            hashes = optarg;
            break;
        case opt_frames: {
            const auto selection = FrameSelection::parse(optarg);
            if (!selection)
                usage_error("--frames takes numbers and ranges A-B (A <= B), comma-separated, not '" +
                            std::string(optarg) + "'");
            g_capture.selection = *selection;
            break;
        }
        case opt_media: {
            const std::string mistake = media_take_option(options[index].name, optarg);
            if (!mistake.empty())
                usage_error(mistake);
            break;
        }
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
    if (optind < argc) {
        const std::string mistake = media_take_option("", argv[optind++]);
        if (!mistake.empty())
            usage_error(mistake);
    }
    if (optind != argc)
        usage_error("unexpected argument '" + std::string(argv[optind]) + "'");
    media_check_names();
    if (raw != nullptr && hashes != nullptr && std::strcmp(raw, "-") == 0 && std::strcmp(hashes, "-") == 0)
        usage_error("--raw and --hashes cannot both go to standard output");

    // The outputs are opened before changing directory, so a relative FILE names a file where
    // the user stands.
    open_named(g_capture.raw, raw);
    open_named(g_capture.hashes, hashes);
    if (directory != nullptr && chdir(directory) != 0)
        tool_fail_errno("cannot enter", directory);
    if (directory == nullptr)
        use_installed_data_if_absent("velmorastik-capture");
}

// No output may be a file the show reads: the capture would destroy its own data set. Called in
// the data set's folder, before any frame is written.
void refuse_outputs_that_are_inputs()
{
    for (const NamedOutput* output : {&g_capture.raw, &g_capture.hashes}) {
        FileIdentity identity;
        std::string input;
        if (output->file != nullptr && output_replaces(*output->file, &identity))
            input = show_input_matching(identity);
        if (!input.empty())
            tool_fail("cannot write", output->name, "it is the show's own " + input);
    }
    media_refuse_inputs();
}

// Whatever way the capture ends before its output is complete, no partial file is left.
void discard_partial_output()
{
    output_discard(g_capture.raw.file);
    output_discard(g_capture.hashes.file);
    media_discard();
}

void on_stop_signal(int signal)
{
    discard_partial_output();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

long long finish_outputs()
{
    const std::string missing = g_capture.selection.past_end(g_headless.frames);
    if (!missing.empty())
        tool_fail("the show has " + std::to_string(g_headless.frames) + " frames; there are no frames " + missing);
    if (g_capture.hashes.file != nullptr &&
        std::fprintf(output_stream(*g_capture.hashes.file), "digest: %s\nframes: %llu\n",
                     hash_text(g_capture.digest).c_str(), static_cast<unsigned long long>(g_capture.written)) < 0)
        tool_fail_errno("cannot write", g_capture.hashes.name);
    for (const NamedOutput* output : {&g_capture.raw, &g_capture.hashes}) {
        std::string reason;
        if (output->file != nullptr && !output_commit(output->file, &reason))
            tool_fail("cannot write", output->name, reason);
    }
    return media_finish();
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
    media_open(g_headless.fps);

    const std::uint64_t phase_frames = k_fade_ms * g_headless.fps / 1000 + 1;
    progress_start(k_show_phases * phase_frames, !media_show_progress());

    run_show({
        .load_picture = load_picture,
        .draw_frame = draw_show_frame,
        .show_frame = capture_frame,
        .pump_messages = no_messages,
        .now = clock_now_ms,
    });

    const long long bytes = finish_outputs();
    progress_finish({
        .written = g_capture.written,
        .show_frames = g_headless.frames,
        .show_seconds = static_cast<double>(clock_now_ms()) / 1000,
        .fps = g_headless.fps,
        .bytes = bytes,
        .video = media_writes_video(),
    });
    // Frames or hashes on standard output must not be mixed with the count.
    const auto on_stdout = [](const NamedOutput& output) {
        return output.file != nullptr && output_stream(*output.file) == stdout;
    };
    std::FILE* report = on_stdout(g_capture.raw) || on_stdout(g_capture.hashes) ? stderr : stdout;
    if (std::fprintf(report, "frames: %llu\n", static_cast<unsigned long long>(g_headless.frames)) < 0 ||
        std::fflush(report) != 0)
        tool_fail_errno("cannot write", report == stdout ? "standard output" : "standard error");
    // Unset before they end: a signal handler may be looking at them.
    for (NamedOutput* output : {&g_capture.raw, &g_capture.hashes}) {
        OutputFile* file = output->file;
        output->file = nullptr;
        output_close(file);
    }
    return 0;
}
