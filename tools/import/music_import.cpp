#include "music_import.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>

#include "platform/data_file.h"

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

// Input for FFmpeg from the descriptor of the file checked: the path is never opened again.
int read_descriptor(void* opaque, std::uint8_t* buffer, int size)
{
    for (;;) {
        const ssize_t n = read(*static_cast<int*>(opaque), buffer, static_cast<std::size_t>(size));
        if (n > 0)
            return static_cast<int>(n);
        if (n == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

std::int64_t seek_descriptor(void* opaque, std::int64_t offset, int whence)
{
    const int fd = *static_cast<int*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat status;
        return fstat(fd, &status) == 0 ? status.st_size : AVERROR(errno);
    }
    const off_t at = lseek(fd, offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : at;
}

struct IoFreer {
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

// Resampling takes the decoded frames in slices of this many input frames, so that its buffer
// is bounded whatever the decoder hands over at once: at 8 kHz, about 23,000 frames out.
constexpr int k_resample_slice = 4096;

// Gathers resampled frames, dropping those before the start and stopping at the limit.
class Collector {
public:
    Collector(std::size_t skip_frames, std::size_t max_frames) : skip_(skip_frames), max_(max_frames) {}

    bool full() const { return samples_.size() >= max_ * k_music_channels; }

    // Resamples a decoded frame slice by slice; false on a resampler failure.
    bool add(SwrContext* swr, const AVFrame& frame)
    {
        const auto format = static_cast<AVSampleFormat>(frame.format);
        const bool planar = av_sample_fmt_is_planar(format) != 0;
        const int planes = planar ? frame.ch_layout.nb_channels : 1;
        const int step = av_get_bytes_per_sample(format) * (planar ? 1 : frame.ch_layout.nb_channels);
        if (planes > AV_NUM_DATA_POINTERS * 8)
            return false;
        const std::uint8_t* slice[AV_NUM_DATA_POINTERS * 8];
        for (int done = 0; done < frame.nb_samples && !full();) {
            const int count = std::min(k_resample_slice, frame.nb_samples - done);
            for (int p = 0; p < planes; ++p)
                slice[p] = frame.extended_data[p] + static_cast<std::ptrdiff_t>(done) * step;
            if (!convert(swr, slice, count))
                return false;
            done += count;
        }
        return true;
    }

    // Whatever the resampler still holds at the end.
    bool drain(SwrContext* swr) { return full() || convert(swr, nullptr, 0); }

    std::vector<std::int16_t> take() { return std::move(samples_); }

private:
    bool convert(SwrContext* swr, const std::uint8_t** input, int count)
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

    std::size_t skip_;
    std::size_t max_;
    std::vector<std::int16_t> buffer_;
    std::vector<std::int16_t> samples_;
};

// The length the file declares for the stream, in seconds; 0 when it declares none (a length
// guessed from the bit rate is no declaration).
double declared_seconds(const AVFormatContext& format, const AVStream& stream)
{
    if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0)
        return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
    if (format.duration != AV_NOPTS_VALUE && format.duration > 0 &&
        format.duration_estimation_method != AVFMT_DURATION_FROM_BITRATE)
        return static_cast<double>(format.duration) / AV_TIME_BASE;
    return 0;
}

// Reads and decodes up to the collector's limit; false, with the reason, on a failure that
// leaves nothing to trust. Damaged packets are skipped and counted.
bool decode_all(AVFormatContext* format, int stream, AVCodecContext* codec, SwrContext* swr, Collector& collector,
                DecodedMusic& music, std::int64_t& decoded_frames)
{
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    if (!packet || !frame) {
        music.reason = "out of memory";
        return false;
    }
    bool draining = false;
    for (;;) {
        if (!draining) {
            // The end of the file, or a read failure in a damaged one: what was decoded is kept.
            if (av_read_frame(format, packet.get()) < 0) {
                draining = true;
                avcodec_send_packet(codec, nullptr);
            } else {
                const int error = packet->stream_index == stream ? avcodec_send_packet(codec, packet.get()) : 0;
                av_packet_unref(packet.get());
                if (error == AVERROR_INVALIDDATA) {
                    ++music.damaged_packets;
                } else if (error < 0) {
                    music.reason = av_reason(error);
                    return false;
                }
            }
        }
        for (;;) {
            if (collector.full())
                return true;
            const int error = avcodec_receive_frame(codec, frame.get());
            if (error == AVERROR(EAGAIN))
                break;
            if (error == AVERROR_EOF) {
                if (collector.drain(swr))
                    return true;
                music.reason = "cannot convert its sound";
                return false;
            }
            if (error == AVERROR_INVALIDDATA) {
                ++music.damaged_packets;  // skipped, as players do
                continue;
            }
            if (error < 0) {
                music.reason = av_reason(error);
                return false;
            }
            decoded_frames += frame->nb_samples;
            const bool added = collector.add(swr, *frame);
            av_frame_unref(frame.get());
            if (!added) {
                music.reason = "cannot convert its sound";
                return false;
            }
        }
    }
}

}  // namespace

DecodedMusic decode_music(const std::string& path, double start_seconds, std::size_t max_frames)
{
    av_log_set_level(AV_LOG_QUIET);  // failures are reported once, by the caller, with the file's name
    DecodedMusic music;
    const DataFile file = data_file_open(path.c_str());
    if (file.stream == nullptr) {
        music.reason = file.reason;
        return music;
    }
    std::unique_ptr<std::FILE, decltype(&std::fclose)> stream(file.stream, &std::fclose);
    int fd = fileno(file.stream);
    constexpr int k_io_buffer = 1 << 16;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(k_io_buffer));
    std::unique_ptr<AVIOContext, IoFreer> io(
        buffer == nullptr ? nullptr
                          : avio_alloc_context(buffer, k_io_buffer, 0, &fd, read_descriptor, nullptr, seek_descriptor));
    if (!io) {
        av_free(buffer);
        music.reason = "out of memory";
        return music;
    }
    // A file of no bytes (a size of 0 is not enough: the system's own files say 0 and hold text).
    std::uint8_t first = 0;
    if (file.size == 0 && pread(fd, &first, 1, 0) == 0) {
        music.reason = "empty file";
        return music;
    }
    // The container is told by the content alone, not the name, and only the formats above are taken.
    const AVInputFormat* input_format = nullptr;
    int error = av_probe_input_buffer2(io.get(), &input_format, nullptr, nullptr, 0, 0);
    if (error < 0 || input_format == nullptr || av_match_list(input_format->name, k_music_formats, ',') <= 0) {
        music.reason = k_not_a_music_file;
        if (error >= 0 && input_format != nullptr && input_format->long_name != nullptr)
            music.reason += std::string(" (") + input_format->long_name + ")";
        return music;
    }
    AVFormatContext* opened = avformat_alloc_context();
    if (opened == nullptr) {
        music.reason = "out of memory";
        return music;
    }
    opened->pb = io.get();
    // Nothing the container names is opened but plain local files of the formats above.
    AVDictionary* settings = nullptr;
    av_dict_set(&settings, "format_whitelist", k_music_formats, 0);
    av_dict_set(&settings, "protocol_whitelist", "file", 0);
    error = avformat_open_input(&opened, path.c_str(), input_format, &settings);
    av_dict_free(&settings);
    if (error < 0) {
        music.reason = av_reason(error);
        return music;
    }
    std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
    if ((error = avformat_find_stream_info(format.get(), nullptr)) < 0) {
        music.reason = av_reason(error);
        return music;
    }
    const AVCodec* decoder = nullptr;
    const int stream_index = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream_index < 0) {
        music.reason = stream_index == AVERROR_DECODER_NOT_FOUND ? "no decoder for its sound" : "it holds no sound";
        return music;
    }
    std::unique_ptr<AVCodecContext, CodecFreer> codec(avcodec_alloc_context3(decoder));
    if (!codec || (error = avcodec_parameters_to_context(codec.get(), format->streams[stream_index]->codecpar)) < 0 ||
        (error = avcodec_open2(codec.get(), decoder, nullptr)) < 0) {
        music.reason = codec ? av_reason(error) : "out of memory";
        return music;
    }
    if (codec->sample_rate < k_min_music_rate) {
        music.reason = "its sample rate, " + std::to_string(codec->sample_rate) + " Hz, is below " +
                       std::to_string(k_min_music_rate) + " Hz";
        return music;
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
        music.reason = "cannot convert its sound: " + av_reason(error);
        return music;
    }

    // Decoded from the beginning and the start dropped after resampling: exact to the sample,
    // whatever the container's seeking is like, and cheap next to the encoding.
    const auto skip = static_cast<std::size_t>(std::llround(start_seconds * k_music_sample_rate));
    Collector collector(skip, max_frames);
    std::int64_t decoded_frames = 0;
    if (!decode_all(format.get(), stream_index, codec.get(), swr.get(), collector, music, decoded_frames))
        return music;
    if (!collector.full()) {
        music.decoded_seconds = static_cast<double>(decoded_frames) / codec->sample_rate;
        music.declared_seconds = declared_seconds(*format, *format->streams[stream_index]);
    }
    music.samples = collector.take();
    if (music.samples.empty())
        music.reason = skip > 0 ? "it ends before the start asked for" : "no sound could be decoded from it";
    return music;
}
