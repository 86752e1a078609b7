// The pictures' half of the page's maker, called by maker_worker.js: a picture is measured before
// the browser decodes it, as velmorastik-import measures it, JPEGs by libjpeg itself, and refused
// in the import's own words.

#include <emscripten.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jpeg_header.h"
#include "picture_limits.h"

namespace {

std::vector<std::uint8_t> g_jpeg;  // the JPEG being measured
std::string g_refusal;
// Width, height and the address of the refusal (empty when taken), as maker_worker.js reads them.
std::int32_t g_checked[3];

}  // namespace

// Room for a JPEG of size bytes, which the worker fills before maker_check_picture.
extern "C" EMSCRIPTEN_KEEPALIVE std::uint8_t* maker_jpeg_buffer(std::uint32_t size)
{
    g_jpeg.assign(size, 0);
    return g_jpeg.data();
}

// Measures the JPEG in the buffer when width is 0, else a picture of width x height that decodes
// to components bytes a pixel, as its own header says; then gives its size and why it is refused.
extern "C" EMSCRIPTEN_KEEPALIVE const std::int32_t* maker_check_picture(std::int32_t width, std::int32_t height,
                                                                         std::int32_t components)
{
    long long decode_bytes = static_cast<long long>(width) * height * components;
    g_refusal.clear();
    if (width == 0) {
        JpegHeader header;
        if (read_jpeg_header(g_jpeg.data(), g_jpeg.size(), &header, &g_refusal)) {
            width = header.width;
            height = header.height;
            decode_bytes = header.decode_bytes;
        }
        g_jpeg = {};
    }
    if (g_refusal.empty())
        g_refusal = size_refusal(width, height, decode_bytes);
    g_checked[0] = width;
    g_checked[1] = height;
    g_checked[2] = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(g_refusal.c_str()));
    return g_checked;
}
