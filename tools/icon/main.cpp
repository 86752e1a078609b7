// Draws the program's icon from a picture of the data set: the centred square of the JPEG,
// scaled to 256x256 and written as a PNG.

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/jpeg_loader.h"
#include "square_icon.h"
#include "tool_exit.h"
#include "version.h"

namespace {

constexpr int k_icon_side = 256;

void print_usage(std::FILE* stream)
{
    std::fputs("usage: velmorastik-icon PICTURE.jpg ICON.png\n"
               "Writes the centred square of the picture, scaled to 256x256, as a PNG.\n",
               stream);
}

// Written beside the destination and renamed over it only when whole, so a failure never
// leaves a half-written icon behind.
void write_png(const char* path, const std::uint8_t* rgb, int side)
{
    const std::string part = std::string(path) + ".part";
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(side);
    image.height = static_cast<png_uint_32>(side);
    image.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&image, part.c_str(), 0, rgb, 0, nullptr) == 0) {
        const std::string reason = image.message;
        std::remove(part.c_str());
        tool_fail("cannot write", path, reason);
    }
    if (std::rename(part.c_str(), path) != 0) {
        const int error = errno;
        std::remove(part.c_str());
        tool_fail("cannot write", path, std::strerror(error));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    tool_set_name("velmorastik-icon");
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("velmorastik-icon %s\n", k_version);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        print_usage(stdout);
        return 0;
    }
    if (argc != 3 || argv[1][0] == '-')
        tool_usage_error("", print_usage);
    const char* picture = argv[1];
    std::FILE* file = std::fopen(picture, "rb");
    if (file == nullptr)
        tool_fail_errno("cannot read", picture);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t* rgb = read_jpeg_pixels(file, &width, &height);
    if (rgb == nullptr)
        tool_fail("cannot read", picture, "not a JPEG picture it can decode");

    const auto icon = square_icon(rgb, static_cast<int>(width), static_cast<int>(height), k_icon_side);
    std::free(rgb);
    write_png(argv[2], icon.data(), k_icon_side);
    return 0;
}
