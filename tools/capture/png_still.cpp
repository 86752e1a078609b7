#include "png_still.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "fx/frame.h"
#include "output_file.h"

namespace {

// The encoder and its picture, made at the first still and kept for the rest.
struct PngEncoder {
    AVCodecContext* context = nullptr;
    AVFrame* picture = nullptr;
    AVPacket* packet = nullptr;
};

PngEncoder g_png;

bool open_encoder(std::string* error)
{
    if (g_png.context != nullptr)
        return true;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    g_png.context = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    g_png.picture = av_frame_alloc();
    g_png.packet = av_packet_alloc();
    if (g_png.context == nullptr || g_png.picture == nullptr || g_png.packet == nullptr) {
        *error = "this FFmpeg has no PNG encoder";
        return false;
    }
    g_png.context->width = k_frame_width;
    g_png.context->height = k_frame_height;
    g_png.context->pix_fmt = AV_PIX_FMT_RGB24;
    g_png.context->time_base = {1, 1};
    g_png.picture->format = AV_PIX_FMT_RGB24;
    g_png.picture->width = k_frame_width;
    g_png.picture->height = k_frame_height;
    if (avcodec_open2(g_png.context, codec, nullptr) < 0 || av_frame_get_buffer(g_png.picture, 0) < 0) {
        *error = "cannot open FFmpeg's PNG encoder";
        return false;
    }
    return true;
}

}  // namespace

std::string png_still_name(std::uint64_t index)
{
    char name[40];
    std::snprintf(name, sizeof name, "frame-%05llu.png", static_cast<unsigned long long>(index));
    return name;
}

bool write_png_still(const Frame32& frame, const std::string& folder, std::uint64_t index, std::string* error)
{
    if (!open_encoder(error))
        return false;
    if (av_frame_make_writable(g_png.picture) < 0) {
        *error = "cannot prepare a still";
        return false;
    }
    // 0x00RRGGBB words to red, green, blue bytes: the same colours, nothing rounded.
    for (int y = 0; y < k_frame_height; ++y) {
        const std::uint32_t* source = &frame.pixels[y * k_frame_width];
        std::uint8_t* row = g_png.picture->data[0] + std::ptrdiff_t(y) * g_png.picture->linesize[0];
        for (int x = 0; x < k_frame_width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(source[x] >> 16);
            row[3 * x + 1] = static_cast<std::uint8_t>(source[x] >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(source[x]);
        }
    }
    if (avcodec_send_frame(g_png.context, g_png.picture) < 0 ||
        avcodec_receive_packet(g_png.context, g_png.packet) < 0) {
        *error = "the PNG encoder failed";
        return false;
    }

    const std::string path = folder + "/" + png_still_name(index);
    OutputFile file;
    const std::size_t size = static_cast<std::size_t>(g_png.packet->size);
    bool ok = open_output(path.c_str(), &file);
    if (ok && std::fwrite(g_png.packet->data, 1, size, file.stream) != size) {
        const int saved = errno;
        std::fclose(file.stream);
        discard_output(&file);
        errno = saved;
        ok = false;
    } else if (ok) {
        ok = commit_output(&file);
    }
    av_packet_unref(g_png.packet);
    if (!ok)
        *error = "cannot write " + path + ": " + std::strerror(errno);
    return ok;
}
