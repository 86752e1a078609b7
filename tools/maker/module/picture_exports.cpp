// The pictures' half of the page's maker, called by maker_worker.js: the sizes the show wants, a
// picture measured before the browser decodes it, as velmorastik-import measures it (JPEGs by
// libjpeg itself) and refused in its words, and a fitted picture encoded as it encodes one.

#include <cstdint>
#include <string>
#include <vector>

#include "fx/effect.h"
#include "fx/frame.h"
#include "jpeg_header.h"
#include "jpeg_writer.h"
#include "picture_limits.h"

namespace {

std::vector<std::uint8_t> g_jpeg;  // the JPEG being measured
std::string g_refusal;
// Width, height and the address of the refusal (empty when taken), as maker_worker.js reads them.
std::int32_t g_checked[3];
std::int32_t g_sizes[3];
std::vector<std::uint8_t> g_rgb;      // the fitted picture being encoded
std::vector<std::uint8_t> g_encoded;  // and its JPEG

}  // namespace

// The frame's width and height and the texture's side, as three 32-bit numbers.
extern "C" const std::int32_t* maker_picture_sizes()
{
    g_sizes[0] = k_frame_width;
    g_sizes[1] = k_frame_height;
    g_sizes[2] = k_texture_size;
    return g_sizes;
}

// Room for width x height RGB samples (rows back to back), which the worker fills before
// maker_encode_picture.
extern "C" std::uint8_t* maker_rgb_buffer(std::int32_t width, std::int32_t height)
{
    g_rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
    return g_rgb.data();
}

// The samples in the buffer as the import writes a picture: the same libjpeg-turbo and settings,
// so that the maker's set is the import's byte for byte from the same samples. Returns the JPEG's
// size; its bytes are at maker_encoded_picture() until the next call.
extern "C" std::int32_t maker_encode_picture(std::int32_t width, std::int32_t height)
{
    g_encoded = encode_jpeg(g_rgb.data(), width, height, 3, k_imported_picture_jpeg);
    g_rgb = {};
    return static_cast<std::int32_t>(g_encoded.size());
}

extern "C" const std::uint8_t* maker_encoded_picture() { return g_encoded.data(); }

// Room for a JPEG of size bytes, which the worker fills before maker_check_picture.
extern "C" std::uint8_t* maker_jpeg_buffer(std::uint32_t size)
{
    g_jpeg.assign(size, 0);
    return g_jpeg.data();
}

// Measures the JPEG in the buffer when width is 0, else a picture of width x height that decodes
// to components bytes a pixel, as its own header says; then gives its size and why it is refused.
extern "C" const std::int32_t* maker_check_picture(std::int32_t width, std::int32_t height, std::int32_t components)
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
