// Draws the program's icon from a picture of the data set: the centred square of the JPEG,
// scaled to 256x256 and written as a PNG, or at 16, 32, 48 and 256 pixels as a Windows icon
// (each size averaged from the picture itself, so the small ones stay sharp).

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "icon_file.h"
#include "image/jpeg_loader.h"
#include "square_icon.h"
#include "tool_exit.h"
#include "version.h"

namespace {

constexpr int k_icon_side = 256;
// What Windows shows: small icons in lists and menus, 32 and 48 on the desktop and in Explorer,
// 256 in its large views.
constexpr int k_windows_icon_sides[] = {16, 32, 48, 256};

void print_usage(std::FILE* stream)
{
    std::fputs("usage: velmorastik-icon PICTURE.jpg ICON.png|ICON.ico\n"
               "Writes the centred square of the picture, scaled to 256x256, as a PNG; or, for a\n"
               "name ending in .ico, at 16, 32, 48 and 256 pixels as a Windows icon.\n",
               stream);
}

// Written beside the destination and renamed over it only when whole, so a failure never
// leaves a half-written icon behind.
void write_whole(const char* path, const std::vector<std::uint8_t>& bytes)
{
    const std::string part = std::string(path) + ".part";
    std::FILE* file = std::fopen(part.c_str(), "wb");
    if (file == nullptr)
        tool_fail_errno("cannot write", path);
    int error = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() ? 0 : errno;
    if (std::fclose(file) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        std::remove(part.c_str());
        tool_fail("cannot write", path, std::strerror(error));
    }
    if (std::rename(part.c_str(), path) != 0) {
        const int rename_error = errno;
        std::remove(part.c_str());
        tool_fail("cannot write", path, std::strerror(rename_error));
    }
}

bool ends_with(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
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

    const auto icon_at = [&](int side) {
        return IconImage{side, square_icon(rgb, static_cast<int>(width), static_cast<int>(height), side)};
    };
    std::vector<std::uint8_t> bytes;
    std::string reason;
    if (ends_with(argv[2], ".ico")) {
        std::vector<IconImage> images;
        for (int side : k_windows_icon_sides)
            images.push_back(icon_at(side));
        bytes = icon_file_bytes(images, &reason);
    } else {
        bytes = png_file_bytes(icon_at(k_icon_side), &reason);
    }
    std::free(rgb);
    if (bytes.empty())
        tool_fail("cannot write", argv[2], reason);
    write_whole(argv[2], bytes);
    return 0;
}
