#include "show_length.h"

#include "fx/frame.h"
#include "show/timeline.h"

namespace {

std::uint64_t g_fps;
std::uint64_t g_frames;

// Frame n is shown at floor(n * 1000 / fps) ms, as in the capture.
std::uint32_t virtual_now() { return static_cast<std::uint32_t>(g_frames * 1000 / g_fps); }

}  // namespace

std::uint64_t show_frame_count(std::uint64_t fps)
{
    g_fps = fps;
    g_frames = 0;
    // The fades run on real frames; one scratch frame serves, since nothing is looked at.
    Frame32* backbuffer = g_virtual_backbuffer;
    Frame32* scratch = allocate_frame();
    if (scratch == nullptr)
        return 0;
    g_virtual_backbuffer = scratch;
    run_show({
        .load_picture = [](const char*, Frame32*) {},
        .draw_effect_frame = [](const Frame32&, double, std::uint32_t, int) {},
        .show_frame = [] { ++g_frames; },
        .pump_messages = [] {},
        .now = virtual_now,
    });
    g_virtual_backbuffer = backbuffer;
    free_frame(scratch);
    return g_frames;
}
