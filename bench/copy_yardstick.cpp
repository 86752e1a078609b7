// The yardstick of bench/show_cpu.sh: one copy of a whole frame per frame at the show's rate, and
// nothing else. The live show's cost is made of such walks over the frame at memory speed (the
// picture into the virtual backbuffer, the backbuffer onto the screen), so its CPU share divided by
// this one reads as "frame copies' worth", whatever the machine's load and memory speed that run.
//
//   velmorastik-copy-yardstick SECONDS [FPS]    (prints its own CPU time as a share of one core)

#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fx/frame.h"

namespace {

constexpr std::uint64_t k_ns_per_second = 1'000'000'000u;

std::uint64_t now_ns(clockid_t clock)
{
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * k_ns_per_second + static_cast<std::uint64_t>(now.tv_nsec);
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 0;
    const int fps = argc > 2 ? std::atoi(argv[2]) : 60;
    Frame32* source = allocate_frame();
    Frame32* target = allocate_frame();
    if (seconds <= 0 || fps <= 0 || source == nullptr || target == nullptr) {
        std::fprintf(stderr, "usage: velmorastik-copy-yardstick SECONDS [FPS]\n");
        return 2;
    }
    const std::uint64_t period = k_ns_per_second / static_cast<std::uint64_t>(fps);
    const auto frames = static_cast<std::uint64_t>(seconds * fps);
    std::uint32_t sink = 0;
    const std::uint64_t cpu_start = now_ns(CLOCK_PROCESS_CPUTIME_ID);
    const std::uint64_t start = now_ns(CLOCK_MONOTONIC);
    for (std::uint64_t n = 0; n < frames; ++n) {
        // A new frame each time, and its copy read back, so that no copy can be left out.
        source->pixels[n % k_frame_pixels] = static_cast<std::uint32_t>(n);
        std::memcpy(target->pixels, source->pixels, k_frame_bytes);
        sink += target->pixels[(n * 7919) % k_frame_pixels];
        const std::uint64_t deadline = start + (n + 1) * period;
        const timespec until = {static_cast<time_t>(deadline / k_ns_per_second),
                                static_cast<long>(deadline % k_ns_per_second)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
        }
    }
    const double cpu = static_cast<double>(now_ns(CLOCK_PROCESS_CPUTIME_ID) - cpu_start);
    const double wall = static_cast<double>(now_ns(CLOCK_MONOTONIC) - start);
    std::printf("%.2f\n", 100 * cpu / wall);
    std::fprintf(stderr, "copy yardstick: %llu frames at %d fps, %.0f us of CPU each (sink %u)\n",
                 static_cast<unsigned long long>(frames), fps, cpu / 1000 / static_cast<double>(frames), sink);
    free_frame(source);
    free_frame(target);
    return 0;
}
