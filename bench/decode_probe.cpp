// Loads each JPEG file named on the command line as the show does, and prints for each: loaded
// or refused, the decode's wall time and processor time (which other work on the machine does
// not inflate), and the process's peak memory so far. One file per run
// gives each file's own peak.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>

#include "fx/frame.h"
#include "image/jpeg_loader.h"
#include "image/rgb_repack.h"

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::FILE* file = std::fopen(argv[i], "rb");
        if (file == nullptr) {
            std::perror(argv[i]);
            return 2;
        }
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpu_start = std::clock();
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::uint8_t* rgb = read_jpeg_pixels(file, &width, &height);
        if (rgb != nullptr)
            repack_rgb(rgb, g_incoming_picture.pixels, std::size_t{width} * height);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const double cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
        std::free(rgb);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%s %s %.1f ms %.1f cpu-ms %.1f MB\n", argv[i], rgb != nullptr ? "loaded" : "refused", ms, cpu_ms,
                    usage.ru_maxrss / 1024.0);
    }
    return 0;
}
