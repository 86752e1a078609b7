// One windowed frame on the real screen: the Display's upload and present over SDL, timed in the
// process's own CPU time (the refresh pacing sleeps and costs nothing) over a few hundred frames.
//
//   velmorastik-present-bench [FRAMES]    (needs a display; prints the median and quartiles)

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "display/display.h"
#include "display/display_mode.h"
#include "fx/frame.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace {

double cpu_us()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

}  // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
    if (frames < 4 || !display_connect()) {
        std::fprintf(stderr, "usage: velmorastik-present-bench [FRAMES >= 4], on a display (%s)\n",
                     platform_failure_reason());
        return 2;
    }
    PlatformWindow* window = window_create("present bench", k_frame_width, k_frame_height);
    Frame32* frame = allocate_frame();
    if (window == nullptr || frame == nullptr)
        return 2;
    for (std::size_t i = 0; i < k_frame_pixels; ++i)
        frame->pixels[i] = static_cast<std::uint32_t>((i * 2654435761u) >> 8);

    Display display(window);
    display.init(k_mode_windowed, 0);
    display.source_frame = frame->pixels;
    std::vector<double> costs;
    costs.reserve(frames);
    for (int n = 0; n < frames; ++n) {
        const double start = cpu_us();
        display.upload();
        display.present();
        costs.push_back(cpu_us() - start);
    }
    display.release();
    std::sort(costs.begin(), costs.end());
    std::printf("windowed frame (upload + present), CPU time over %d frames: median %.0f us, "
                "quartiles %.0f-%.0f us\n",
                frames, costs[frames / 2], costs[frames / 4], costs[frames * 3 / 4]);
    return 0;
}
