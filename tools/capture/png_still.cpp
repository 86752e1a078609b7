#include "png_still.h"

#include <cstdio>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "fx/frame.h"
#include "platform/output_file.h"

namespace {

// The encoder and its picture, made at the first still and kept for the rest.
struct PngEncoder {
    AVCodecContext* context = nullptr;
    AVFrame* picture = nullptr;
    AVPacket* packet = nullptr;
};

PngEncoder g_png;

// The stills of this capture: the folder they go to, and the bytes written into it.
struct Stills {
    OutputFolder* folder = nullptr;
    std::uint64_t bytes = 0;
};

Stills g_stills;

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

// "frame-00042.png": the frame's number, five digits at least.
void format_name(char (&out)[32], std::uint64_t index)
{
    std::snprintf(out, sizeof out, "frame-%05llu.png", static_cast<unsigned long long>(index));
}

}  // namespace

bool png_stills_open(const std::string& folder, std::string* error)
{
    g_stills.folder = output_folder_open(folder.c_str(), error);
    return g_stills.folder != nullptr && open_encoder(error);
}

bool png_still_write(const Frame32& frame, std::uint64_t index, std::string* error)
{
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

    char name[32];
    format_name(name, index);
    const bool ok = output_folder_write(g_stills.folder, name, g_png.packet->data,
                                        static_cast<std::size_t>(g_png.packet->size), error);
    g_stills.bytes += static_cast<std::uint64_t>(g_png.packet->size);
    av_packet_unref(g_png.packet);
    return ok;
}

bool png_stills_commit(std::string* error)
{
    OutputFolder* folder = g_stills.folder;
    const bool done = folder == nullptr || output_folder_commit(folder, error);
    // Unset before it ends: a signal handler may be looking at it.
    g_stills.folder = nullptr;
    output_folder_close(folder);
    return done;
}

void png_stills_discard() { output_folder_discard(g_stills.folder); }

std::uint64_t png_stills_bytes() { return g_stills.bytes; }
