// Videos (H.264 with the soundtrack, in Matroska or MP4) and PNG stills, through FFmpeg.

#include "media_outputs.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "fx/frame.h"
#include "platform/file_identity.h"
#include "png_still.h"
#include "show/data_set.h"
#include "show_inputs.h"
#include "tool_exit.h"
#include "video_output.h"

namespace {

constexpr int k_max_crf = 51;

struct Media {
    // Both named from where the user stands, whatever -C says.
    std::string video_path;
    const char* video_name = nullptr;  // as given
    std::string png_folder;
    VideoSettings video;
    bool audio = true;
    bool quiet = false;
};

Media g_media;

// message: "what: path: reason", as the output modules put it.
[[noreturn]] void fail_with(const std::string& message) { tool_fail(message); }

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

}  // namespace

MediaUsage media_usage()
{
    return {
        .operand = " [OUT.mkv|OUT.mp4]",
        .outputs = "  OUT.mkv, OUT.mp4  encode the frames as an H.264 video with the soundtrack\n",
        .stills = "  --png DIR      write frames as DIR/frame-NNNNN.png, exact colours\n",
        .settings = "  --crf N        video quality, 0 (lossless) to 51 (default 16)\n"
                    "  --preset NAME  x264 preset (default medium), fastest first:\n"
                    "                 " +
                    preset_list("                 ") +
                    "\n"
                    "  --pix-fmt F    yuv420p (default, plays everywhere) or yuv444p (crisp dots)\n"
                    "  --no-audio     leave the soundtrack out of the video\n"
                    "  --quiet        no progress for videos and stills\n",
    };
}

std::string media_take_option(const char* name, const char* argument)
{
    const std::string option = name;
    if (option.empty()) {
        g_media.video_name = argument;
        g_media.video_path = from_start(argument);
    } else if (option == "png") {
        g_media.png_folder = from_start(argument);
    } else if (option == "crf") {
        char* end = nullptr;
        const long crf = std::strtol(argument, &end, 10);
        if (*argument < '0' || *argument > '9' || *end != '\0' || crf > k_max_crf)
            return "--crf must be 0 to 51";
        g_media.video.crf = static_cast<int>(crf);
    } else if (option == "preset") {
        if (!video_preset_known(argument))
            return "--preset must be one of " + preset_list();
        g_media.video.preset = argument;
    } else if (option == "pix-fmt") {
        if (std::strcmp(argument, "yuv420p") != 0 && std::strcmp(argument, "yuv444p") != 0)
            return "--pix-fmt must be yuv420p or yuv444p";
        g_media.video.pixel_format = argument;
    } else if (option == "no-audio") {
        g_media.audio = false;
    } else if (option == "quiet") {
        g_media.quiet = true;
    }
    return {};
}

void media_check_names()
{
    if (!g_media.video_path.empty() && !video_format_known(g_media.video_path))
        tool_fail("cannot tell the video format", g_media.video_name, "the name must end in .mkv or .mp4");
}

void media_refuse_inputs()
{
    std::string input;
    FileIdentity identity;
    if (!g_media.video_path.empty() && file_identity(g_media.video_path.c_str(), &identity))
        input = show_input_matching(identity);
    if (!input.empty())
        tool_fail("cannot write", g_media.video_path, "it is the show's own " + input);
    std::string still;
    if (!g_media.png_folder.empty())
        input = show_input_among_stills(g_media.png_folder, &still);
    if (!input.empty())
        tool_fail("cannot write", still, "it is the show's own " + input);
}

void media_open(std::uint64_t fps)
{
    std::string error;
    if (!g_media.png_folder.empty() && !png_stills_open(g_media.png_folder, &error))
        fail_with(error);

    if (g_media.video_path.empty())
        return;
    g_media.video.fps = static_cast<int>(fps);
    if (g_media.audio)
        g_media.video.soundtrack = k_soundtrack_path;
    if (!video_open(g_media.video_path.c_str(), g_media.video, &error))
        fail_with(error);
    if (!video_audio_note().empty())
        tool_note("no soundtrack in the video (" + video_audio_note() + ")");
}

bool media_show_progress() { return !g_media.quiet && (!g_media.video_path.empty() || !g_media.png_folder.empty()); }

bool media_writes_video() { return !g_media.video_path.empty(); }

void media_add_frame(const Frame32& frame, std::uint64_t index)
{
    std::string error;
    if (!g_media.video_path.empty() && !video_add_frame(frame, static_cast<std::int64_t>(index), &error))
        fail_with(error);
    if (!g_media.png_folder.empty() && !png_still_write(frame, index, &error))
        fail_with(error);
}

long long media_finish()
{
    std::int64_t bytes = 0;
    std::string error;
    if (!g_media.video_path.empty() && !video_finish(&error, &bytes))
        fail_with(error);
    if (!g_media.png_folder.empty() && !png_stills_commit(&error))
        fail_with(error);
    return bytes + static_cast<long long>(png_stills_bytes());
}

void media_discard()
{
    video_discard_file();
    png_stills_discard();
}
