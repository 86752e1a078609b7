// A build without FFmpeg (Windows) writes raw frames only: a video or a still asked for is a
// usage error that says where they are made.

#include "media_outputs.h"

MediaUsage media_usage()
{
    return {
        .operand = "",
        .outputs = "",
        .stills = "",
        .settings = "  (videos and stills are made by the Linux build of velmorastik-capture)\n",
    };
}

std::string media_take_option(const char* name, const char* argument)
{
    const std::string what = *name == '\0' ? "a video (" + std::string(argument) + ")" : "--" + std::string(name);
    return what + ": this build writes raw frames only; videos and stills are made by the Linux build";
}

void media_check_names() {}

void media_refuse_inputs() {}

void media_open(std::uint64_t) {}

bool media_show_progress() { return false; }

bool media_writes_video() { return false; }

void media_add_frame(const Frame32&, std::uint64_t) {}

long long media_finish() { return 0; }

void media_discard() {}
