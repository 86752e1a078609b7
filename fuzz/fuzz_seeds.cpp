// Writes the JPEG loader's seed corpus: one small file of each kind the loader meets, for
// scripts/fuzz to start from.
//   velmorastik-fuzz-seeds DIR

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "jpeg_streams.h"
#include "jpeg_writer.h"
#include "platform/output_file.h"

namespace {

std::vector<std::uint8_t> samples(int width, int height, int components)
{
    std::vector<std::uint8_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                out.push_back(static_cast<std::uint8_t>(x * (c + 3) + y * (5 - c) + ((x ^ y) & 15) * c));
    return out;
}

std::vector<std::uint8_t> jpeg(int width, int height, int components, const JpegSettings& settings = {})
{
    return encode_jpeg(samples(width, height, components).data(), width, height, components, settings);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: velmorastik-fuzz-seeds DIR\n", stderr);
        return 64;
    }
    auto truncated = jpeg(48, 32, 3);
    truncated.resize(truncated.size() * 2 / 3);
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> seeds = {
        {"baseline", jpeg(48, 32, 3, {.quality = 75})},
        {"baseline-444", jpeg(48, 32, 3, {.quality = 75, .full_chroma = true})},
        {"progressive", jpeg(48, 32, 3, {.quality = 75, .progressive = true})},
        {"grayscale", jpeg(40, 24, 1)},
        {"grayscale-progressive", jpeg(40, 24, 1, {.progressive = true})},
        {"cmyk", jpeg(24, 16, 4)},
        {"cmyk-progressive", jpeg(24, 16, 4, {.progressive = true})},
        {"restart-markers", jpeg(48, 48, 3, {.restart_rows = 1})},
        {"restart-markers-progressive", jpeg(48, 48, 3, {.progressive = true, .restart_rows = 1})},
        {"arithmetic", jpeg(48, 32, 3, {.arithmetic = true})},
        {"arithmetic-progressive", jpeg(48, 32, 3, {.progressive = true, .arithmetic = true})},
        {"odd-1x1", jpeg(1, 1, 3)},
        {"odd-17x13", jpeg(17, 13, 3)},
        {"odd-641x3", jpeg(641, 3, 1)},
        {"odd-3x481", jpeg(3, 481, 1)},
        {"rgb", jpeg(32, 32, 3, {.store_rgb = true})},
        {"truncated", truncated},
        {"declared-huge", with_size(jpeg(16, 16, 3, {.progressive = true}), 9000, 9000)},
        {"tables-only", encode_jpeg_tables_only()},
    };
    for (const auto& [name, bytes] : seeds)
        if (std::string reason; !output_write_whole(std::string(argv[1]) + "/" + name + ".jpg", bytes, &reason)) {
            std::fprintf(stderr, "%s: %s\n", name, reason.c_str());
            return 2;
        }
    return 0;
}
