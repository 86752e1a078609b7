#include "gradient_data_set.h"

#include <filesystem>

#include "jpeg_writer.h"
#include "platform/output_file.h"

std::vector<std::uint8_t> gradient_picture(int seed)
{
    std::vector<std::uint8_t> samples;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            samples.push_back(static_cast<std::uint8_t>(x * seed / 3 + y));
            samples.push_back(static_cast<std::uint8_t>(y * (seed + 1) / 2));
            samples.push_back(static_cast<std::uint8_t>((x ^ y) + seed * 20));
        }
    return encode_jpeg(samples.data(), 640, 480, 3);
}

bool write_gradient_data_set(const std::string& folder)
{
    const std::filesystem::path data = std::filesystem::path(folder) / "data";
    std::error_code error;
    for (const char* sub : {"gfx/misc", "gfx/1", "gfx/2", "sfx"})
        if (!std::filesystem::create_directories(data / sub, error) && error)
            return false;
    bool written = output_write_whole((data / "gfx/misc/tzback.jpg").string(), gradient_picture(0));
    for (int k = 1; k <= 5; ++k)
        written = written &&
                  output_write_whole((data / "gfx/1" / (std::to_string(k) + ".jpg")).string(), gradient_picture(k));
    for (int k = 1; k <= 6; ++k)
        written = written && output_write_whole((data / "gfx/2" / (std::to_string(k) + ".jpg")).string(),
                                                gradient_picture(10 + k));
    std::vector<std::uint8_t> texture(196608);
    for (std::size_t i = 0; i < texture.size(); ++i)
        texture[i] = static_cast<std::uint8_t>(i * 7 / 3);
    return written && output_write_whole((data / "lumo.raw").string(), texture) &&
           output_write_whole((data / "sfx/lumo.mp3").string(), {'n', 'o', 't', ' ', 'm', 'u', 's', 'i', 'c'});
}
