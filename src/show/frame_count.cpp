#include "show/frame_count.h"

#include "show/timeline.h"
#include "show/virtual_clock.h"

namespace {

std::uint64_t g_fps;
std::uint64_t g_frames;

}  // namespace

std::uint64_t show_frame_count(std::uint64_t fps)
{
    g_fps = fps;
    g_frames = 0;
    run_show({
        .load_picture = [](const char*, Frame32*) {},
        .draw_frame = [](const Frame32&, std::uint32_t, double) {},
        .show_frame = [] { ++g_frames; },
        .pump_messages = [] {},
        .now = [] { return virtual_clock_ms(g_frames, g_fps); },
    });
    return g_frames;
}
