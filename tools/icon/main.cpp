// Draws the program's icon from a picture of the data set: the centred square of the JPEG,
// scaled to 256x256 and written as a PNG, or at 16, 32, 48 and 256 pixels as a Windows icon
// (each size averaged from the picture itself, so the small ones stay sharp).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "icon_file.h"
#include "image/jpeg_loader.h"
#include "platform/output_file.h"
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
    // Written whole or not at all, so that a failure never leaves a half-written icon behind.
    if (bytes.empty() || !output_write_whole(argv[2], bytes, &reason))
        tool_fail("cannot write", argv[2], reason);
    return 0;
}
