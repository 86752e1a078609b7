// Writes JPEG files made to cost the picture loader as much time or memory as its limits let
// through, or just more, beside ordinary 24-megapixel photos that must still load. Used by
// bench/decode_worst_case.
//   velmorastik-hostile-jpegs DIR

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/jpeg_loader.h"
#include "jpeg_streams.h"
#include "jpeg_writer.h"
#include "platform/output_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Samples with no structure at all: every coefficient of every block is busy.
Bytes noise(int width, int height, int components)
{
    Bytes samples(static_cast<std::size_t>(width) * height * components);
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    for (std::uint8_t& sample : samples) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        sample = static_cast<std::uint8_t>(state >> 24);
    }
    return samples;
}

// Smooth shading with some detail, as in a photograph.
Bytes photo(int width, int height)
{
    Bytes samples;
    samples.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double v = std::sin(x * 0.003) * std::cos(y * 0.004) + 0.2 * std::sin((x + y) * 0.05);
            samples.push_back(static_cast<std::uint8_t>(128 + 100 * v));
            samples.push_back(static_cast<std::uint8_t>(128 + 90 * std::sin(y * 0.002 + v)));
            samples.push_back(static_cast<std::uint8_t>((x * 255 / width + (x ^ y) % 7) & 0xFF));
        }
    return samples;
}

std::string g_folder;

void save(const std::string& name, const Bytes& bytes)
{
    if (std::string reason; !output_write_whole(g_folder + "/" + name, bytes, &reason)) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), reason.c_str());
        std::exit(2);
    }
}

bool loads(const Bytes& jpeg)
{
    std::FILE* stream = fmemopen(const_cast<std::uint8_t*>(jpeg.data()), jpeg.size(), "rb");
    std::uint8_t* rgb = nullptr;
    const bool loaded = stream != nullptr && decode_jpeg_file(stream, &rgb) == 1;
    std::free(rgb);
    return loaded;
}

// The last scan (a whole band) repeated as often as the loader lets through, and once more:
// the most decoding work any file gets before the loader's verdict, and its refused twin.
void save_dense_scans(const std::string& name, int width, int components, JpegSettings settings)
{
    settings.quality = 100;
    settings.progressive = true;
    const Bytes base = encode_jpeg(noise(width, width, components).data(), width, width, components, settings);
    const std::size_t last = scan_ends(base).size() - 1;
    // The loader's verdicts (and messages) for a halving search; stderr is quiet meanwhile.
    std::fflush(stderr);
    const int saved = dup(2);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 2);
    int low = 0;                       // loads
    int high = k_decode_limits.scans;  // refused, by the scan count if nothing else
    while (high - low > 1) {
        const int middle = (low + high) / 2;
        (loads(repeat_scan(base, last, middle)) ? low : high) = middle;
    }
    dup2(saved, 2);
    close(saved);
    close(quiet);
    save(name + "-accepted.jpg", repeat_scan(base, last, low));
    save(name + "-refused.jpg", repeat_scan(base, last, high));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: velmorastik-hostile-jpegs DIR\n", stderr);
        return 64;
    }
    g_folder = argv[1];

    // Ordinary camera files of 24 megapixels: these must load.
    const Bytes picture = photo(6000, 4000);
    save("photo-24mp-baseline.jpg", encode_jpeg(picture.data(), 6000, 4000, 3, {.quality = 92}));
    save("photo-24mp-progressive.jpg",
         encode_jpeg(picture.data(), 6000, 4000, 3, {.quality = 92, .progressive = true}));
    save("photo-24mp-progressive-444.jpg",
         encode_jpeg(picture.data(), 6000, 4000, 3, {.quality = 92, .progressive = true, .full_chroma = true}));
    {
        const Bytes busy = noise(6000, 4000, 3);
        save("noise-24mp-progressive.jpg",
             encode_jpeg(busy.data(), 6000, 4000, 3, {.quality = 90, .progressive = true}));
        save("noise-24mp-progressive-444.jpg",
             encode_jpeg(busy.data(), 6000, 4000, 3, {.quality = 90, .progressive = true, .full_chroma = true}));
    }

    // Many dense scans, up to the work budget or the scan count.
    save_dense_scans("dense-scans-gray-1448", 1448, 1, {});
    save_dense_scans("dense-scans-gray-2048", 2048, 1, {});
    save_dense_scans("dense-scans-420-2048", 2048, 3, {});
    save_dense_scans("dense-scans-444-2048", 2048, 3, {.full_chroma = true});
    save_dense_scans("dense-scans-arith-gray-2048", 2048, 1, {.arithmetic = true});
    save_dense_scans("dense-scans-arith-444-2048", 2048, 3, {.full_chroma = true, .arithmetic = true});

    // Huge sizes declared by small files.
    const Bytes small = encode_jpeg(noise(64, 64, 3).data(), 64, 64, 3, {.quality = 90});
    const Bytes small_progressive = encode_jpeg(noise(64, 64, 3).data(), 64, 64, 3,
                                                {.quality = 90, .progressive = true});
    const Bytes small_cmyk = encode_jpeg(noise(64, 64, 4).data(), 64, 64, 4, {.quality = 90, .progressive = true});
    save("huge-65500-baseline.jpg", with_size(small, 65500, 65500));
    save("huge-65500x480-baseline.jpg", with_size(small, 65500, 480));
    save("huge-65500-progressive.jpg", with_size(small_progressive, 65500, 65500));
    save("huge-12000x9000-progressive.jpg", with_size(small_progressive, 12000, 9000));
    // The most memory let through: CMYK at full resolution just inside the coefficient limit.
    save("huge-4400-cmyk-progressive.jpg", with_size(small_cmyk, 4400, 4400));
    save("huge-6000x4000-progressive.jpg", with_size(small_progressive, 6000, 4000));
    save("many-scans-300.jpg", repeat_scan(small_progressive, 1, 300));

    // The most rows of busy baseline data the frame can need, as wide as the file-size limit allows.
    const Bytes wide = noise(32768, 488, 3);
    save("noise-32768x488-baseline-444.jpg",
         encode_jpeg(wide.data(), 32768, 488, 3, {.quality = 100, .full_chroma = true}));
    return 0;
}
