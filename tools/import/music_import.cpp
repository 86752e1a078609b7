#include "music_import.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace {

std::string av_reason(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

struct FormatCloser {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};
struct CodecFreer {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct SwrFreer {
    void operator()(SwrContext* swr) const { swr_free(&swr); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

// Gathers resampled frames, dropping those before the start and stopping at the limit.
class Collector {
public:
    Collector(std::size_t skip_frames, std::size_t max_frames) : skip_(skip_frames), max_(max_frames) {}

    bool full() const { return samples_.size() >= max_ * k_music_channels; }

    // Resamples count frames of input (none: drains the resampler); false on a resampler failure.
    bool add(SwrContext* swr, const std::uint8_t** input, int count)
    {
        const int room = swr_get_out_samples(swr, count);
        if (room < 0)
            return false;
        buffer_.resize(static_cast<std::size_t>(room) * k_music_channels);
        std::uint8_t* output = reinterpret_cast<std::uint8_t*>(buffer_.data());
        const int made = swr_convert(swr, &output, room, input, count);
        if (made < 0)
            return false;
        std::size_t first = 0;
        const auto frames = static_cast<std::size_t>(made);
        if (skip_ > 0) {
            first = std::min(skip_, frames);
            skip_ -= first;
        }
        const std::size_t wanted = max_ * k_music_channels - std::min(samples_.size(), max_ * k_music_channels);
        const std::size_t take = std::min((frames - first) * k_music_channels, wanted);
        samples_.insert(samples_.end(), buffer_.begin() + static_cast<long>(first * k_music_channels),
                        buffer_.begin() + static_cast<long>(first * k_music_channels + take));
        return true;
    }

    std::vector<std::int16_t> take() { return std::move(samples_); }

private:
    std::size_t skip_;
    std::size_t max_;
    std::vector<std::int16_t> buffer_;
    std::vector<std::int16_t> samples_;
};

}  // namespace

std::vector<std::int16_t> decode_music(const std::string& path, double start_seconds, std::size_t max_frames,
                                       std::string* reason)
{
    av_log_set_level(AV_LOG_QUIET);  // failures are reported once, by the caller, with the file's name
    AVFormatContext* opened = nullptr;
    int error = avformat_open_input(&opened, path.c_str(), nullptr, nullptr);
    if (error < 0) {
        *reason = av_reason(error);
        return {};
    }
    std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
    if ((error = avformat_find_stream_info(format.get(), nullptr)) < 0) {
        *reason = av_reason(error);
        return {};
    }
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0) {
        *reason = stream == AVERROR_DECODER_NOT_FOUND ? "no decoder for its sound" : "it holds no sound";
        return {};
    }
    std::unique_ptr<AVCodecContext, CodecFreer> codec(avcodec_alloc_context3(decoder));
    if (!codec || (error = avcodec_parameters_to_context(codec.get(), format->streams[stream]->codecpar)) < 0 ||
        (error = avcodec_open2(codec.get(), decoder, nullptr)) < 0) {
        *reason = codec ? av_reason(error) : "out of memory";
        return {};
    }
    // A stream that does not say which channels it has (a bare WAV, say) gets the usual layout for
    // its channel count.
    AVChannelLayout in_layout;
    if (codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&in_layout, codec->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&in_layout, &codec->ch_layout);
    AVChannelLayout out_layout = AV_CHANNEL_LAYOUT_STEREO;
    SwrContext* made = nullptr;
    error = swr_alloc_set_opts2(&made, &out_layout, AV_SAMPLE_FMT_S16, k_music_sample_rate, &in_layout,
                                codec->sample_fmt, codec->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in_layout);
    std::unique_ptr<SwrContext, SwrFreer> swr(made);
    if (error < 0 || (error = swr_init(swr.get())) < 0) {
        *reason = "cannot convert its sound: " + av_reason(error);
        return {};
    }

    // Decoded from the beginning and the start dropped after resampling: exact to the sample,
    // whatever the container's seeking is like, and cheap next to the encoding.
    const auto skip = static_cast<std::size_t>(std::llround(start_seconds * k_music_sample_rate));
    Collector collector(skip, max_frames);
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    if (!packet || !frame) {
        *reason = "out of memory";
        return {};
    }
    bool draining = false;
    bool ended = false;
    while (!collector.full() && !ended) {
        if (!draining) {
            // The end of the file, or a read failure in a damaged one: what was decoded is kept.
            if (av_read_frame(format.get(), packet.get()) < 0) {
                draining = true;
                avcodec_send_packet(codec.get(), nullptr);
            } else {
                error = packet->stream_index == stream ? avcodec_send_packet(codec.get(), packet.get()) : 0;
                av_packet_unref(packet.get());
                // A damaged packet is skipped, as players do.
                if (error < 0 && error != AVERROR_INVALIDDATA) {
                    *reason = av_reason(error);
                    return {};
                }
            }
        }
        while (!collector.full()) {
            error = avcodec_receive_frame(codec.get(), frame.get());
            if (error == AVERROR(EAGAIN))
                break;
            if (error == AVERROR_EOF) {
                ended = true;
                break;
            }
            if (error < 0) {
                *reason = av_reason(error);
                return {};
            }
            const bool added = collector.add(swr.get(), const_cast<const std::uint8_t**>(frame->extended_data),
                                             frame->nb_samples);
            av_frame_unref(frame.get());
            if (!added) {
                *reason = "cannot convert its sound";
                return {};
            }
        }
    }
    if (!collector.full() && !collector.add(swr.get(), nullptr, 0)) {
        *reason = "cannot convert its sound";
        return {};
    }
    std::vector<std::int16_t> samples = collector.take();
    if (samples.empty())
        *reason = skip > 0 ? "it ends before the start asked for" : "no sound could be decoded from it";
    return samples;
}

void fade_out(std::vector<std::int16_t>& interleaved, std::size_t fade_frames)
{
    const std::size_t frames = interleaved.size() / k_music_channels;
    fade_frames = std::min(fade_frames, frames);
    if (fade_frames == 0)
        return;
    const std::size_t first = frames - fade_frames;
    for (std::size_t i = 0; i < fade_frames; ++i) {
        // From 1 just before the fade to 0 at its last frame.
        const double left = static_cast<double>(fade_frames - 1 - i) / static_cast<double>(fade_frames);
        const double gain = std::sin(left * std::numbers::pi / 2);
        for (int c = 0; c < k_music_channels; ++c) {
            std::int16_t& sample = interleaved[(first + i) * k_music_channels + c];
            sample = static_cast<std::int16_t>(std::lround(sample * gain));
        }
    }
}
