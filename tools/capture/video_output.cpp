#include "video_output.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "colour_conversion.h"
#include "frame_ring.h"
#include "platform/data_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "fx/frame.h"
#include "platform/output_file.h"

namespace {

struct Video {
    std::string path;
    OutputFile* file = nullptr;
    AVFormatContext* output = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* video_stream = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* pictures[k_ring_slots] = {};  // the ring's slots, converted frames waiting for x264
    AVPacket* packet = nullptr;

    // The soundtrack, copied packet by packet as the video's time passes, read through its own
    // descriptor and never past k_max_soundtrack_bytes.
    std::FILE* soundtrack = nullptr;
    std::int64_t soundtrack_bytes = 0;  // what may be read: the file's size, at most the bound
    AVFormatContext* input = nullptr;
    AVStream* input_audio = nullptr;
    AVStream* audio_stream = nullptr;
    AVPacket* audio_packet = nullptr;
    bool audio_held = false;                     // audio_packet waits for the video to reach it
    std::int64_t audio_origin = AV_NOPTS_VALUE;  // the first packet's time: the video's 0
    bool audio_done = true;
    std::string audio_note;

    // Frames keep their show time, counted from the first frame added: a video of frames 100-199
    // starts with frame 100 and with the soundtrack where the show has it then.
    std::int64_t first_index = AV_NOPTS_VALUE;
    std::int64_t next_index = 0;  // one past the last frame encoded
};

Video g_video;

// The capture's thread renders each frame and converts its colours into the next of the ring's
// pictures while the encoder's thread hands the pictures to x264 and writes the packets and the
// soundtrack: the two run at once, as a pipe into the FFmpeg command line would run them. Once
// started, only the encoder's thread touches the encoder, the muxer and the files, until it ends.
struct EncoderThread {
    FrameRing ring;
    std::thread thread;
    std::string error;  // why it stopped before the end; read once it has ended
    bool ended_at_exit = false;
};

EncoderThread g_encoder;

std::string av_reason(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = "";
    av_strerror(code, text, sizeof text);
    return text;
}

bool failed(std::string* error, const std::string& what, int code)
{
    *error = what + ": " + av_reason(code);
    return false;
}

const char* container_for(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return nullptr;
    const char* extension = path.c_str() + dot + 1;
    if (strcasecmp(extension, "mkv") == 0)
        return "matroska";
    if (strcasecmp(extension, "mp4") == 0)
        return "mp4";
    return nullptr;
}

// The muxer writes through our own I/O on the output file rather than opening a path: the staged
// file has no name until complete, and raw frames and videos then share one way of staging.
int write_bytes(void* opaque, std::uint8_t* data, int size)
{
    std::FILE* stream = output_stream(*static_cast<OutputFile*>(opaque));
    return std::fwrite(data, 1, static_cast<std::size_t>(size), stream) == static_cast<std::size_t>(size)
               ? size
               : AVERROR(errno != 0 ? errno : EIO);
}

std::int64_t seek_bytes(void* opaque, std::int64_t offset, int whence)
{
    std::FILE* stream = output_stream(*static_cast<OutputFile*>(opaque));
    if (whence == AVSEEK_SIZE) {
        const off_t here = ftello(stream);
        if (here < 0 || fseeko(stream, 0, SEEK_END) != 0)
            return AVERROR(errno);
        const off_t size = ftello(stream);
        fseeko(stream, here, SEEK_SET);
        return size;
    }
    if (fseeko(stream, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE) != 0)
        return AVERROR(errno);
    return ftello(stream);
}

bool open_file(std::string* error)
{
    Video& v = g_video;
    // MP4 writes its index at the end and seeks back to point at it: a pipe would get a file
    // nothing can play. Matroska is made for streams. Asked before opening, which waits for a reader.
    struct stat status;
    const bool pipe = stat(v.path.c_str(), &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
    if (container_for(v.path) == std::string("mp4") && pipe) {
        *error = "cannot write: " + v.path + ": an MP4 cannot be written into a pipe; name it .mkv";
        return false;
    }
    std::string reason;
    v.file = output_open(v.path.c_str(), &reason);
    if (v.file == nullptr) {
        *error = "cannot write: " + v.path + ": " + reason;
        return false;
    }
    constexpr int k_buffer_bytes = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(k_buffer_bytes));
    v.output->pb = buffer != nullptr
                       ? avio_alloc_context(buffer, k_buffer_bytes, 1, v.file, nullptr, write_bytes, seek_bytes)
                       : nullptr;
    if (v.output->pb == nullptr) {
        av_free(buffer);
        *error = "cannot write: " + v.path + ": out of memory";
        return false;
    }
    if (output_is_pipe(*v.file))
        v.output->pb->seekable = 0;  // the muxer then writes nothing it would have to come back to
    v.output->flags |= AVFMT_FLAG_CUSTOM_IO;
    return true;
}

// The soundtrack's bytes for FFmpeg, from its descriptor, ending at soundtrack_bytes.
int read_soundtrack(void*, std::uint8_t* data, int size)
{
    Video& v = g_video;
    const int fd = fileno(v.soundtrack);
    const off_t here = lseek(fd, 0, SEEK_CUR);
    if (here < 0)
        return AVERROR(errno);
    const std::int64_t left = v.soundtrack_bytes - here;
    if (left <= 0)
        return AVERROR_EOF;
    const ssize_t n = read(fd, data, static_cast<std::size_t>(std::min<std::int64_t>(size, left)));
    return n > 0 ? static_cast<int>(n) : n == 0 ? AVERROR_EOF : AVERROR(errno);
}

std::int64_t seek_soundtrack(void*, std::int64_t offset, int whence)
{
    Video& v = g_video;
    if (whence == AVSEEK_SIZE)
        return v.soundtrack_bytes;
    const off_t to = lseek(fileno(v.soundtrack), static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return to < 0 ? AVERROR(errno) : to;
}

// Opens the soundtrack as the show opens its data files (never waiting on a FIFO, regular files
// only) and checks it is within the bound. "" or why not.
std::string open_soundtrack_file(const std::string& soundtrack)
{
    Video& v = g_video;
    const DataFile file = data_file_open(soundtrack.c_str());
    v.soundtrack = file.stream;
    if (file.stream == nullptr)
        return file.reason;
    if (file.size > k_max_soundtrack_bytes)
        return "larger than " + std::to_string(k_max_soundtrack_bytes >> 20) + " MiB, not a soundtrack";
    v.soundtrack_bytes = file.size;
    return {};
}

void close_soundtrack()
{
    Video& v = g_video;
    AVIOContext* io = v.input != nullptr ? v.input->pb : nullptr;
    avformat_close_input(&v.input);  // leaves our own I/O alone
    if (io != nullptr) {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
    if (v.soundtrack != nullptr)
        std::fclose(v.soundtrack);
    v.soundtrack = nullptr;
}

// Finds the soundtrack's audio in the first k_soundtrack_probe_bytes: "" or why not.
std::string probe_soundtrack()
{
    Video& v = g_video;
    constexpr int k_buffer_bytes = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(k_buffer_bytes));
    AVIOContext* io = buffer != nullptr ? avio_alloc_context(buffer, k_buffer_bytes, 0, nullptr, read_soundtrack,
                                                             nullptr, seek_soundtrack)
                                        : nullptr;
    v.input = avformat_alloc_context();
    if (io == nullptr || v.input == nullptr) {
        av_free(buffer);
        if (io != nullptr)
            avio_context_free(&io);
        return "out of memory";
    }
    v.input->pb = io;
    v.input->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "formatprobesize", k_soundtrack_probe_bytes, 0);
    av_dict_set_int(&options, "probesize", k_soundtrack_probe_bytes, 0);
    av_dict_set_int(&options, "analyzeduration", k_soundtrack_probe_microseconds, 0);
    int code = avformat_open_input(&v.input, nullptr, nullptr, &options);
    av_dict_free(&options);
    if (code < 0) {
        // A failed open frees the context but not our I/O.
        av_freep(&io->buffer);
        avio_context_free(&io);
        return av_reason(code);
    }
    code = avformat_find_stream_info(v.input, nullptr);
    const int index = code >= 0 ? av_find_best_stream(v.input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) : code;
    if (index < 0)
        return av_reason(index);
    const AVCodecParameters* audio = v.input->streams[index]->codecpar;
    if (audio->sample_rate <= 0 || audio->ch_layout.nb_channels <= 0)
        return "no audio it can read in the first " + std::to_string(k_soundtrack_probe_bytes >> 20) + " MiB";
    v.input_audio = v.input->streams[index];
    return {};
}

void open_soundtrack(const std::string& soundtrack)
{
    Video& v = g_video;
    if (soundtrack.empty())
        return;
    std::string why = open_soundtrack_file(soundtrack);
    if (why.empty())
        why = probe_soundtrack();
    if (!why.empty()) {
        v.audio_note = soundtrack + ": " + why;
        v.input_audio = nullptr;
        close_soundtrack();
        return;
    }
    const AVCodecID codec = v.input_audio->codecpar->codec_id;
    if (avformat_query_codec(v.output->oformat, codec, FF_COMPLIANCE_NORMAL) != 1) {
        v.audio_note = soundtrack + ": " + avcodec_get_name(codec) + " cannot be copied into this container";
        close_soundtrack();
        return;
    }
    v.audio_stream = avformat_new_stream(v.output, nullptr);
    if (v.audio_stream == nullptr || avcodec_parameters_copy(v.audio_stream->codecpar, v.input_audio->codecpar) < 0) {
        v.audio_note = soundtrack + ": cannot add the audio stream";
        close_soundtrack();
        v.audio_stream = nullptr;
        return;
    }
    v.audio_stream->codecpar->codec_tag = 0;
    v.audio_stream->time_base = v.input_audio->time_base;
    v.audio_packet = av_packet_alloc();
    v.audio_done = v.audio_packet == nullptr;
}

bool open_encoder(const VideoSettings& settings, std::string* error)
{
    Video& v = g_video;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) {
        *error = "this FFmpeg has no H.264 encoder (libx264)";
        return false;
    }
    const AVPixelFormat format = av_get_pix_fmt(settings.pixel_format.c_str());
    if (format != AV_PIX_FMT_YUV420P && format != AV_PIX_FMT_YUV444P) {
        *error = "--pix-fmt must be yuv420p or yuv444p, not '" + settings.pixel_format + "'";
        return false;
    }
    v.encoder = avcodec_alloc_context3(codec);
    if (v.encoder == nullptr)
        return failed(error, "cannot set up the encoder", AVERROR(ENOMEM));
    AVCodecContext* e = v.encoder;
    e->width = k_frame_width;
    e->height = k_frame_height;
    e->pix_fmt = format;
    e->time_base = {1, settings.fps};
    e->framerate = {settings.fps, 1};
    e->color_range = AVCOL_RANGE_MPEG;
    e->colorspace = AVCOL_SPC_BT709;
    e->color_primaries = AVCOL_PRI_BT709;
    e->color_trc = AVCOL_TRC_BT709;
    if ((v.output->oformat->flags & AVFMT_GLOBALHEADER) != 0)
        e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // x264 encodes several frames at once on threads of its own, as many as it judges the machine
    // has room for, with a lookahead thread beside them: libavcodec's defaults for libx264, and
    // the FFmpeg command line's; said here so that the encoder keeps them whatever those become.
    e->thread_count = 0;
    e->thread_type = FF_THREAD_FRAME;
    int code = av_opt_set(e->priv_data, "preset", settings.preset.c_str(), 0);
    if (code >= 0)
        code = av_opt_set_double(e->priv_data, "crf", settings.crf, 0);
    if (code < 0)
        return failed(error, "cannot set the encoder's preset '" + settings.preset + "'", code);
    code = avcodec_open2(e, codec, nullptr);
    if (code < 0)
        return failed(error, "cannot open the H.264 encoder (preset '" + settings.preset + "')", code);

    v.video_stream = avformat_new_stream(v.output, nullptr);
    if (v.video_stream == nullptr)
        return failed(error, "cannot add the video stream", AVERROR(ENOMEM));
    v.video_stream->time_base = e->time_base;
    v.video_stream->avg_frame_rate = e->framerate;
    code = avcodec_parameters_from_context(v.video_stream->codecpar, e);
    if (code < 0)
        return failed(error, "cannot describe the video stream", code);

    v.scaler = open_colour_conversion(format);
    v.packet = av_packet_alloc();
    if (v.scaler == nullptr || v.packet == nullptr)
        return failed(error, "cannot set up the colour conversion", AVERROR(ENOMEM));
    for (AVFrame*& picture : v.pictures) {
        picture = av_frame_alloc();
        if (picture == nullptr)
            return failed(error, "cannot allocate the picture", AVERROR(ENOMEM));
        picture->format = format;
        picture->width = k_frame_width;
        picture->height = k_frame_height;
        picture->color_range = AVCOL_RANGE_MPEG;
        picture->colorspace = AVCOL_SPC_BT709;
        code = av_frame_get_buffer(picture, 0);
        if (code < 0)
            return failed(error, "cannot allocate the picture", code);
    }
    return true;
}

// Writes every packet the encoder has ready (all of them once it has been flushed).
bool drain_encoder(std::string* error)
{
    Video& v = g_video;
    for (;;) {
        int code = avcodec_receive_packet(v.encoder, v.packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
            return true;
        if (code < 0)
            return failed(error, "the H.264 encoder failed", code);
        av_packet_rescale_ts(v.packet, v.encoder->time_base, v.video_stream->time_base);
        v.packet->stream_index = v.video_stream->index;
        code = av_interleaved_write_frame(v.output, v.packet);
        if (code < 0)
            return failed(error, "cannot write: " + v.path, code);
    }
}

// Copies the soundtrack's packets that start before until (a frame number of the show), shifted
// to the video's first frame; those before it are left out. The first packet past until waits for
// the video to catch up, and is dropped if it never does.
bool copy_audio_until(std::int64_t until, std::string* error)
{
    Video& v = g_video;
    while (!v.audio_done) {
        if (!v.audio_held) {
            if (av_read_frame(v.input, v.audio_packet) < 0) {
                v.audio_done = true;  // the end of the soundtrack, or a damaged tail: silence after it
                break;
            }
            AVPacket* p = v.audio_packet;
            if (p->stream_index != v.input_audio->index) {
                av_packet_unref(p);
                continue;
            }
            if (v.audio_origin == AV_NOPTS_VALUE)
                v.audio_origin = p->pts != AV_NOPTS_VALUE ? p->pts : 0;
            if (p->pts != AV_NOPTS_VALUE)
                p->pts -= v.audio_origin;
            if (p->dts != AV_NOPTS_VALUE)
                p->dts -= v.audio_origin;
            av_packet_rescale_ts(p, v.input_audio->time_base, v.audio_stream->time_base);
            p->stream_index = v.audio_stream->index;
            p->pos = -1;
            v.audio_held = true;
        }
        AVPacket* p = v.audio_packet;
        if (av_compare_ts(p->pts, v.audio_stream->time_base, until, v.encoder->time_base) >= 0)
            return true;
        v.audio_held = false;
        if (av_compare_ts(p->pts, v.audio_stream->time_base, v.first_index, v.encoder->time_base) < 0) {
            av_packet_unref(p);
            continue;
        }
        const std::int64_t shift = av_rescale_q(v.first_index, v.encoder->time_base, v.audio_stream->time_base);
        p->pts -= shift;
        if (p->dts != AV_NOPTS_VALUE)
            p->dts -= shift;
        const int code = av_interleaved_write_frame(v.output, p);
        if (code < 0)
            return failed(error, "cannot write: " + v.path, code);
    }
    return true;
}

// Encodes one converted picture and writes what is ready of the video and the soundtrack.
bool encode_picture(AVFrame* picture, std::string* error)
{
    Video& v = g_video;
    const int code = avcodec_send_frame(v.encoder, picture);
    if (code < 0)
        return failed(error, "the H.264 encoder refused a frame", code);
    v.next_index = v.first_index + picture->pts + 1;
    return drain_encoder(error) && copy_audio_until(v.next_index, error);
}

// The encoder's thread: the ring's pictures in order until the capture finishes or stops it. A
// picture's slot is given back only once x264 has taken its own copy. The capture's thread reads
// the error after joining this one.
void encode_pictures()
{
    std::string error;
    const auto encode = [&error](int slot) { return encode_picture(g_video.pictures[slot], &error); };
    if (!read_each(g_encoder.ring, encode))
        g_encoder.error = error;
}

bool start_encoder_thread(std::string* error)
{
    g_encoder.ring.reset();
    g_encoder.error.clear();
    try {
        g_encoder.thread = std::thread(encode_pictures);
    } catch (const std::system_error& problem) {
        *error = std::string("cannot start the encoder's thread: ") + problem.what();
        return false;
    }
    return true;
}

// Waits for the encoder's thread: after the pictures in the ring when drain, else after the one
// in hand. Whatever ends the capture ends it first, before the video and the files go away.
void end_encoder_thread(bool drain)
{
    if (!g_encoder.thread.joinable() || g_encoder.thread.get_id() == std::this_thread::get_id())
        return;
    if (drain)
        g_encoder.ring.finish();
    else
        g_encoder.ring.stop();
    g_encoder.thread.join();
}

void end_encoder_thread_at_exit() { end_encoder_thread(false); }

void close_all()
{
    Video& v = g_video;
    av_packet_free(&v.packet);
    av_packet_free(&v.audio_packet);
    for (AVFrame*& picture : v.pictures)
        av_frame_free(&picture);
    sws_freeContext(v.scaler);
    v.scaler = nullptr;
    avcodec_free_context(&v.encoder);
    close_soundtrack();
    if (v.output != nullptr) {
        if (v.output->pb != nullptr)
            av_freep(&v.output->pb->buffer);
        avio_context_free(&v.output->pb);
        avformat_free_context(v.output);
        v.output = nullptr;
    }
    // Unset first: a signal handler may be looking at it.
    OutputFile* file = v.file;
    v.file = nullptr;
    output_close(file);
}

}  // namespace

bool video_open(const char* path, const VideoSettings& settings, std::string* error)
{
    Video& v = g_video;
    v = Video{};
    v.path = path;
    const char* container = container_for(v.path);
    if (container == nullptr) {
        *error = "cannot tell the video format: " + v.path + ": the name must end in .mkv or .mp4";
        return false;
    }
    av_log_set_level(AV_LOG_ERROR);
    int code = avformat_alloc_output_context2(&v.output, nullptr, container, v.path.c_str());
    if (code < 0)
        return failed(error, "cannot set up: " + v.path, code);
    if (!open_encoder(settings, error) || !open_file(error)) {
        video_discard();
        return false;
    }
    open_soundtrack(settings.soundtrack);
    code = avformat_write_header(v.output, nullptr);
    if (code < 0) {
        video_discard();
        return failed(error, "cannot write: " + v.path, code);
    }
    // A capture that fails elsewhere ends through exit(): the thread must be stopped before the
    // objects it uses are destroyed. Registered after main's own handler, so it runs first.
    if (!g_encoder.ended_at_exit) {
        std::atexit(end_encoder_thread_at_exit);
        g_encoder.ended_at_exit = true;
    }
    if (!start_encoder_thread(error)) {
        video_discard();
        return false;
    }
    return true;
}

bool video_add_frame(const Frame32& frame, std::int64_t index, std::string* error)
{
    Video& v = g_video;
    const int slot = g_encoder.ring.begin_fill();
    if (slot < 0) {
        // The encoder's thread has failed: its reason is the capture's.
        end_encoder_thread(false);
        *error = g_encoder.error;
        return false;
    }
    AVFrame* picture = v.pictures[slot];
    // x264 copies each picture it is given, so this is only a safeguard: it copies nothing.
    const int code = av_frame_make_writable(picture);
    if (code < 0)
        return failed(error, "cannot prepare a picture", code);
    const std::uint8_t* source[1] = {reinterpret_cast<const std::uint8_t*>(frame.pixels)};
    const int stride[1] = {static_cast<int>(k_frame_row_bytes)};
    sws_scale(v.scaler, source, stride, 0, k_frame_height, picture->data, picture->linesize);
    if (v.first_index == AV_NOPTS_VALUE)
        v.first_index = index;
    picture->pts = index - v.first_index;
    g_encoder.ring.end_fill();
    return true;
}

bool video_finish(std::string* error, std::int64_t* bytes)
{
    Video& v = g_video;
    end_encoder_thread(true);
    if (!g_encoder.error.empty()) {
        *error = g_encoder.error;
        video_discard();
        return false;
    }
    const int code = avcodec_send_frame(v.encoder, nullptr);
    bool done = code >= 0 ? drain_encoder(error) : failed(error, "the H.264 encoder failed", code);
    done = done && (v.first_index == AV_NOPTS_VALUE || copy_audio_until(v.next_index, error));
    if (done) {
        const int written = av_write_trailer(v.output);
        avio_flush(v.output->pb);
        if (written < 0 || v.output->pb->error < 0)
            done = failed(error, "cannot write: " + v.path, written < 0 ? written : v.output->pb->error);
    }
    if (done) {
        // A pipe has no offset to ask; the muxer counted what it wrote.
        const off_t at = ftello(output_stream(*v.file));
        *bytes = at >= 0 ? at : avio_tell(v.output->pb);
        // The stream is closed and the file renamed into place here.
        std::string reason;
        done = output_commit(v.file, &reason);
        if (!done)
            *error = "cannot write: " + v.path + ": " + reason;
    }
    if (!done)
        video_discard();
    close_all();
    return done;
}

void video_discard()
{
    end_encoder_thread(false);
    video_discard_file();
    close_all();
}

void video_discard_file() { output_discard(g_video.file); }

bool video_preset_known(const std::string& name)
{
    for (const char* preset : k_video_presets)
        if (name == preset)
            return true;
    return false;
}

bool video_format_known(const std::string& path) { return container_for(path) != nullptr; }

const std::string& video_audio_note() { return g_video.audio_note; }
