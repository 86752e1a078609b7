// The capture's colour conversion of one frame (BT.709, limited range, its swscale flags) against
// the one the FFmpeg command line makes of the same raw frame for `-f rawvideo -pix_fmt bgr0 ...
// -pix_fmt F` (swscale's default flags there, bicubic, and its default matrix), in the same run,
// into yuv444p and yuv420p. No scaling happens in either.

#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "colour_conversion.h"
#include "fx/frame.h"

namespace {

// A picture-like frame: every byte value in every channel.
void fill_picture(Frame32& frame)
{
    for (std::size_t i = 0; i < k_frame_pixels; ++i)
        frame.pixels[i] = 0xFF000000u | static_cast<std::uint32_t>((i * 2654435761u) >> 8);
}

void convert(benchmark::State& state, SwsContext* conversion, AVPixelFormat format)
{
    Frame32* frame = allocate_frame();
    fill_picture(*frame);
    AVFrame* picture = av_frame_alloc();
    picture->format = format;
    picture->width = k_frame_width;
    picture->height = k_frame_height;
    if (conversion == nullptr || av_frame_get_buffer(picture, 0) < 0) {
        state.SkipWithError("cannot set up the conversion");
    } else {
        const std::uint8_t* source[1] = {reinterpret_cast<const std::uint8_t*>(frame->pixels)};
        const int stride[1] = {static_cast<int>(k_frame_row_bytes)};
        for (auto _ : state) {
            sws_scale(conversion, source, stride, 0, k_frame_height, picture->data, picture->linesize);
            benchmark::DoNotOptimize(picture->data[0]);
            benchmark::ClobberMemory();
        }
    }
    av_frame_free(&picture);
    sws_freeContext(conversion);
    free_frame(frame);
}

void BM_capture_conversion(benchmark::State& state, AVPixelFormat format)
{
    convert(state, open_colour_conversion(format), format);
}
BENCHMARK_CAPTURE(BM_capture_conversion, yuv444p, AV_PIX_FMT_YUV444P);
BENCHMARK_CAPTURE(BM_capture_conversion, yuv420p, AV_PIX_FMT_YUV420P);

void BM_ffmpeg_command_line_conversion(benchmark::State& state, AVPixelFormat format)
{
    convert(state,
            sws_getContext(k_frame_width, k_frame_height, AV_PIX_FMT_BGR0, k_frame_width, k_frame_height, format,
                           SWS_BICUBIC, nullptr, nullptr, nullptr),
            format);
}
BENCHMARK_CAPTURE(BM_ffmpeg_command_line_conversion, yuv444p, AV_PIX_FMT_YUV444P);
BENCHMARK_CAPTURE(BM_ffmpeg_command_line_conversion, yuv420p, AV_PIX_FMT_YUV420P);

}  // namespace
