// The effect's start-up, and the picture loader against libjpeg's own
// decode of the same file into memory, the yardstick.

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "fx/effect.h"
#include "fx/frame.h"
#include "image/jpeg_loader.h"
#include "jpeg_writer.h"
#include "platform/output_file.h"
#include "show/texture_file.h"

namespace {

// A 640x480 quality-90 baseline colour picture with detail everywhere, written to a file.
struct PictureFile {
    std::string path;
    std::vector<std::uint8_t> bytes;

    PictureFile()
    {
        std::vector<std::uint8_t> samples;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                samples.push_back(static_cast<std::uint8_t>(x + (y * y >> 6)));
                samples.push_back(static_cast<std::uint8_t>((x * y) >> 7));
                samples.push_back(static_cast<std::uint8_t>((x ^ y) + (x >> 2)));
            }
        bytes = encode_jpeg(samples.data(), 640, 480, 3, {.quality = 90});
        char name[] = "/tmp/velmorastik-bench-XXXXXX";
        const int fd = mkstemp(name);
        close(fd);
        path = name;
        output_write_whole(path, bytes);
    }
    ~PictureFile() { std::remove(path.c_str()); }
};

const PictureFile& picture_file()
{
    static const PictureFile file;
    return file;
}

// A directory holding data/lumo.raw, entered for the effect's start-up.
struct TextureDirectory {
    std::string path;
    TextureDirectory()
    {
        char name[] = "/tmp/velmorastik-bench-XXXXXX";
        path = mkdtemp(name);
        std::vector<std::uint8_t> texture(196608);
        for (std::size_t i = 0; i < texture.size(); ++i)
            texture[i] = static_cast<std::uint8_t>(i * 131 >> 3);
        const std::string data = path + "/data";
        mkdir(data.c_str(), 0755);
        output_write_whole(data + "/lumo.raw", texture);
    }
    ~TextureDirectory()
    {
        std::remove((path + "/data/lumo.raw").c_str());
        rmdir((path + "/data").c_str());
        rmdir(path.c_str());
    }
};

void enter_effect(const TextureDirectory& directory)
{
    char previous[4096];
    if (getcwd(previous, sizeof previous) == nullptr || chdir(directory.path.c_str()) != 0)
        std::abort();
    effect_release_tables();
    if (!effect_init(640, 480, load_texture_file()) || chdir(previous) != 0)
        std::abort();
}

void BM_effect_init(benchmark::State& state)
{
    const TextureDirectory directory;
    for (auto _ : state)
        enter_effect(directory);
    benchmark::DoNotOptimize(g_polar_table);
}
BENCHMARK(BM_effect_init)->Unit(benchmark::kMillisecond);

void BM_load_picture(benchmark::State& state)
{
    const PictureFile& file = picture_file();
    for (auto _ : state) {
        load_picture(file.path.c_str(), &g_incoming_picture);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_load_picture)->Unit(benchmark::kMillisecond);

// libjpeg-turbo alone: the same file, read through stdio as the loader reads it, decoded
// straight into an RGB buffer in memory, defaults throughout.
void BM_decode_only(benchmark::State& state)
{
    const PictureFile& file = picture_file();
    std::vector<std::uint8_t> rgb(640 * 480 * 3);
    for (auto _ : state) {
        std::FILE* stream = std::fopen(file.path.c_str(), "rb");
        jpeg_decompress_struct decompressor;
        jpeg_error_mgr errors;
        decompressor.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&decompressor);
        jpeg_stdio_src(&decompressor, stream);
        jpeg_read_header(&decompressor, TRUE);
        jpeg_start_decompress(&decompressor);
        while (decompressor.output_scanline < decompressor.output_height) {
            JSAMPROW row = rgb.data() + decompressor.output_scanline * 640 * 3;
            jpeg_read_scanlines(&decompressor, &row, 1);
        }
        jpeg_finish_decompress(&decompressor);
        jpeg_destroy_decompress(&decompressor);
        std::fclose(stream);
        benchmark::DoNotOptimize(rgb.data());
    }
}
BENCHMARK(BM_decode_only)->Unit(benchmark::kMillisecond);

}  // namespace
