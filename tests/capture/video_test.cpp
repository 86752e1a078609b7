// Videos and stills of the show from the generated data set, read back through FFmpeg and libpng.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <png.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "demo_data_sets.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

constexpr int k_width = 640;
constexpr int k_height = 480;
constexpr std::size_t k_frame_bytes = 640 * 480 * 4;

std::string generated_set() { return demo_data_sets(VELMORASTIK_MAKE_SETS, VELMORASTIK_DEMO_DATA) + "/first"; }

// The capture tool started in where, on the data set in the folder show (by default the
// generated one).
CommandRun capture(const TempDir& where, const std::string& arguments, const std::string& show = generated_set())
{
    return run_command("cd " + where.path() + " && " + VELMORASTIK_CAPTURE + " -C " + show + " " + arguments + " 2>&1");
}

struct StreamInfo {
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0;
    int height = 0;
    int format = -1;
    AVColorSpace colour_space = AVCOL_SPC_UNSPECIFIED;
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED;
    int packets = 0;
    double start = 0;    // the first packet's time
    double seconds = 0;  // from the first packet's start to the last one's end
};

struct Probe {
    int streams = 0;
    StreamInfo video;
    StreamInfo audio;
    bool has_audio = false;
};

// Every packet of the file, counted and timed per stream.
Probe probe(const std::string& path)
{
    Probe result;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0)
        return result;
    avformat_find_stream_info(input, nullptr);
    result.streams = static_cast<int>(input->nb_streams);
    std::vector<std::int64_t> first(input->nb_streams, INT64_MAX), end(input->nb_streams, INT64_MIN);
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(input, packet) >= 0) {
        const AVStream* stream = input->streams[packet->stream_index];
        StreamInfo& info = stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? result.video : result.audio;
        ++info.packets;
        first[packet->stream_index] = std::min(first[packet->stream_index], packet->pts);
        end[packet->stream_index] = std::max(end[packet->stream_index], packet->pts + packet->duration);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        const AVCodecParameters* p = stream->codecpar;
        const bool video = p->codec_type == AVMEDIA_TYPE_VIDEO;
        StreamInfo& info = video ? result.video : result.audio;
        result.has_audio = result.has_audio || !video;
        info.codec = p->codec_id;
        info.width = p->width;
        info.height = p->height;
        info.format = p->format;
        info.colour_space = p->color_space;
        info.range = p->color_range;
        info.start = first[i] * av_q2d(stream->time_base);
        info.seconds = (end[i] - first[i]) * av_q2d(stream->time_base);
    }
    avformat_close_input(&input);
    return result;
}

std::vector<std::uint8_t> read_file(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    std::uint8_t chunk[1 << 16];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    return bytes;
}

// Decodes the video frames of a file in order, handing each to take with its time in seconds;
// take returns whether to go on. False when the file has no video to decode.
template <typename Take>
bool decode_video(const std::string& path, Take take)
{
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0)
        return false;
    avformat_find_stream_info(input, nullptr);
    const int index = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        avformat_close_input(&input);
        return false;
    }
    const AVStream* stream = input->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, stream->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool more = true;
    const auto receive = [&] {
        while (more && avcodec_receive_frame(decoder, frame) >= 0) {
            more = take(*frame, frame->best_effort_timestamp * av_q2d(stream->time_base));
            av_frame_unref(frame);
        }
    };
    while (more && av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(decoder, packet) >= 0)
            receive();
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    receive();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&input);
    return true;
}

// A colour conversion between the capture's 32-bit words and a video's format, in BT.709 with the
// video's limited range; freed at the end of the scope.
struct Conversion {
    Conversion(AVPixelFormat from, AVPixelFormat to)
        : context(sws_getContext(k_width, k_height, from, k_width, k_height, to, SWS_BICUBIC | SWS_ACCURATE_RND,
                                 nullptr, nullptr, nullptr))
    {
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        const bool to_video = from == AV_PIX_FMT_BGR0;
        sws_setColorspaceDetails(context, bt709, to_video ? 1 : 0, bt709, to_video ? 0 : 1, 0, 1 << 16, 1 << 16);
    }
    ~Conversion() { sws_freeContext(context); }
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;
    SwsContext* context;
};

// The first video frame of a file as 0x00RRGGBB words, converted back with BT.709 limited range.
std::vector<std::uint32_t> first_frame_rgb(const std::string& path)
{
    std::vector<std::uint32_t> rgb;
    decode_video(path, [&rgb](const AVFrame& frame, double) {
        rgb.resize(std::size_t(k_width) * k_height);
        const Conversion back(static_cast<AVPixelFormat>(frame.format), AV_PIX_FMT_BGR0);
        std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(rgb.data())};
        const int stride[1] = {k_width * 4};
        sws_scale(back.context, frame.data, frame.linesize, 0, k_height, out, stride);
        return false;
    });
    return rgb;
}

TEST(Video, MkvAndMp4HoldTheFramesAndTheSoundtrack)
{
    struct Case {
        const char* name;
        const char* options;
        int format;
    };
    // 100 frames at 10 fps: ten seconds of the show, from its sixth second on.
    // The longest name a folder takes (254 bytes) is the video's to have.
    const std::string long_name = std::string(250, 'v') + ".mkv";
    for (const Case& c :
         {Case{long_name.c_str(), "", AV_PIX_FMT_YUV420P}, Case{"show.mp4", "--pix-fmt yuv444p", AV_PIX_FMT_YUV444P}}) {
        SCOPED_TRACE(c.name);
        TempDir out;
        const CommandRun run = capture(out, std::string("--fps 10 --frames 50-149 --preset ultrafast ") + c.options +
                                                " " + c.name);
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find("frames: 1196\n"), std::string::npos) << run.output;
        EXPECT_EQ(names_in(out.path()), std::vector<std::string>{c.name}) << "only the finished file is left";
        // The summary: ten seconds written, and their speed against the time taken, printed to a
        // tenth of a second.
        const std::string lead = "100 of the show's 1196 frames (119.6 s) written: 10.0 s, ";
        const std::size_t line = run.output.find(lead);
        ASSERT_NE(line, std::string::npos) << run.output;
        double megabytes = 0, took = 0, speed = 0;
        ASSERT_EQ(std::sscanf(run.output.c_str() + line + lead.size(), "%lf MB, in %lf s: %lfx real time", &megabytes,
                              &took, &speed),
                  3)
            << run.output;
        EXPECT_GT(megabytes, 0.0);
        if (took >= 0.1) {
            EXPECT_GE(speed, 10.0 / (took + 0.05) - 0.05) << run.output;
            EXPECT_LE(speed, 10.0 / (took - 0.05) + 0.05) << run.output;
        }

        const Probe p = probe(out.file(c.name));
        EXPECT_EQ(p.streams, 2);
        EXPECT_EQ(p.video.codec, AV_CODEC_ID_H264);
        EXPECT_EQ(p.video.width, k_width);
        EXPECT_EQ(p.video.height, k_height);
        EXPECT_EQ(p.video.format, c.format);
        EXPECT_EQ(p.video.colour_space, AVCOL_SPC_BT709);
        EXPECT_EQ(p.video.range, AVCOL_RANGE_MPEG);
        EXPECT_EQ(p.video.packets, 100);
        EXPECT_NEAR(p.video.start, 0.0, 0.01);
        EXPECT_NEAR(p.video.seconds, 10.0, 0.01);
        ASSERT_TRUE(p.has_audio);
        EXPECT_EQ(p.audio.codec, AV_CODEC_ID_MP3);
        // Whole MP3 frames of 26 ms, from where the video starts to where it ends.
        EXPECT_NEAR(p.audio.start, 0.0, 0.03);
        EXPECT_NEAR(p.audio.seconds, p.video.seconds, 0.06);
    }
}

TEST(Video, WithoutAudioOrWithoutASoundtrackTheVideoIsSilent)
{
    TempDir out;
    CommandRun run = capture(out, "--fps 5 --frames 0-9 --preset ultrafast --no-audio quiet.mkv");
    ASSERT_EQ(run.status, 0) << run.output;
    Probe p = probe(out.file("quiet.mkv"));
    EXPECT_EQ(p.streams, 1);
    EXPECT_EQ(p.video.packets, 10);
    EXPECT_FALSE(p.has_audio);

    // A data set without its soundtrack: silent, as the show itself would be, and said so.
    TempDir copy;
    std::filesystem::copy(generated_set() + "/data", copy.file("data"), std::filesystem::copy_options::recursive);
    std::filesystem::remove(copy.file("data/sfx/lumo.mp3"));
    run = capture(out, "--fps 5 --frames 0-9 --preset ultrafast silent.mp4", copy.path());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("no soundtrack in the video (data/sfx/lumo.mp3: "), std::string::npos) << run.output;
    p = probe(out.file("silent.mp4"));
    EXPECT_EQ(p.streams, 1);
    EXPECT_EQ(p.video.packets, 10);
}

TEST(Video, LosslessFramesComeBackWithTheirColours)
{
    TempDir out;
    const CommandRun run = capture(out, "--fps 10 --frames 30 --crf 0 --pix-fmt yuv444p --preset ultrafast "
                                        "--raw frame.raw --quiet frame.mkv");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<std::uint8_t> raw = read_file(out.file("frame.raw"));
    ASSERT_EQ(raw.size(), k_frame_bytes);
    const std::vector<std::uint32_t> decoded = first_frame_rgb(out.file("frame.mkv"));
    ASSERT_EQ(decoded.size(), std::size_t(k_width) * k_height);
    // Lossless YUV 4:4:4: only the rounding of the two BT.709 conversions remains.
    int worst = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const int want = raw[4 * i + shift / 8];
            const int got = (decoded[i] >> shift) & 0xFF;
            worst = std::max(worst, std::abs(want - got));
        }
    EXPECT_LE(worst, 3);
}

TEST(Video, LosslessVideoHoldsEveryRawFrameInOrderAtItsTime)
{
    // Frames 40-79 at 10 fps, across the end of a fade in and the start of the fade out: each
    // differs from the one before, so a frame lost, repeated or out of place shows.
    constexpr int k_frames = 40;
    TempDir out;
    const CommandRun run = capture(out, "--fps 10 --frames 40-79 --crf 0 --pix-fmt yuv444p --preset ultrafast "
                                        "--raw frames.raw --quiet frames.mkv");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<std::uint8_t> raw = read_file(out.file("frames.raw"));
    ASSERT_EQ(raw.size(), k_frames * k_frame_bytes);
    for (int n = 1; n < k_frames; ++n)
        ASSERT_NE(std::memcmp(&raw[n * k_frame_bytes], &raw[(n - 1) * k_frame_bytes], k_frame_bytes), 0) << n;

    // Lossless 4:4:4 decodes to exactly the planes x264 was given: the raw frame in BT.709.
    const Conversion to_video(AV_PIX_FMT_BGR0, AV_PIX_FMT_YUV444P);
    std::vector<std::uint8_t> want(3 * std::size_t(k_width) * k_height);
    int n = 0;
    const bool read = decode_video(out.file("frames.mkv"), [&](const AVFrame& frame, double seconds) {
        if (n == k_frames) {
            ++n;
            return false;
        }
        EXPECT_EQ(frame.format, AV_PIX_FMT_YUV444P);
        EXPECT_NEAR(seconds, n / 10.0, 1e-6) << "frame " << n;
        const std::uint8_t* source[1] = {&raw[n * k_frame_bytes]};
        const int source_stride[1] = {k_width * 4};
        std::uint8_t* planes[3] = {&want[0], &want[k_width * k_height], &want[2 * k_width * k_height]};
        const int strides[3] = {k_width, k_width, k_width};
        sws_scale(to_video.context, source, source_stride, 0, k_height, planes, strides);
        std::size_t differing = 0;
        for (int plane = 0; plane < 3; ++plane)
            for (int y = 0; y < k_height; ++y)
                differing += std::memcmp(frame.data[plane] + y * frame.linesize[plane], planes[plane] + y * k_width,
                                         k_width) != 0;
        EXPECT_EQ(differing, 0u) << "rows differing in frame " << n;
        ++n;
        return true;
    });
    ASSERT_TRUE(read);
    EXPECT_EQ(n, k_frames);
}

TEST(Stills, PngFilesHoldTheRawFramesExactly)
{
    TempDir out;
    const CommandRun run = capture(out, "--fps 10 --frames 0,35,420 --png stills --raw frames.raw");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(names_in(out.file("stills")),
              (std::vector<std::string>{"frame-00000.png", "frame-00035.png", "frame-00420.png"}));
    const std::vector<std::uint8_t> raw = read_file(out.file("frames.raw"));
    ASSERT_EQ(raw.size(), 3 * k_frame_bytes);
    int n = 0;
    for (const char* name : {"frame-00000.png", "frame-00035.png", "frame-00420.png"}) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_NE(png_image_begin_read_from_file(&image, (out.file("stills") + "/" + name).c_str()), 0) << name;
        image.format = PNG_FORMAT_BGRA;
        std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
        ASSERT_NE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr), 0) << name;
        ASSERT_EQ(image.width, 640u);
        ASSERT_EQ(image.height, 480u);
        std::size_t differing = 0;
        for (std::size_t i = 0; i < pixels.size(); i += 4)
            for (int c = 0; c < 3; ++c)
                differing += pixels[i + c] != raw[n * k_frame_bytes + i + c];
        EXPECT_EQ(differing, 0u) << name;
        ++n;
    }
}

TEST(Video, FailuresLeaveNothingBehind)
{
    TempDir out;
    CommandRun run = capture(out, "--fps 5 " + out.file("missing/show.mkv"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("velmorastik-capture: cannot write: " + out.file("missing/show.mkv") +
                              ": No such file or directory\n"),
              std::string::npos)
        << run.output;

    // A failure after the video has begun keeps the file already there, and leaves no other.
    TempDir broken;
    std::filesystem::copy(generated_set() + "/data", broken.file("data"), std::filesystem::copy_options::recursive);
    std::filesystem::remove(broken.file("data/gfx/1/3.jpg"));
    std::FILE* old = std::fopen(out.file("show.mkv").c_str(), "w");
    std::fputs("the user's own file", old);
    std::fclose(old);
    run = capture(out, "--fps 5 --preset ultrafast --quiet show.mkv", broken.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("velmorastik-capture: cannot open: data/gfx/1/3.jpg: No such file or directory"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{"show.mkv"});
    const std::vector<std::uint8_t> kept = read_file(out.file("show.mkv"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "the user's own file");

    // Stills appear together or not at all: frames past the end fail the capture after the others
    // were made.
    run = capture(out, "--fps 5 --frames 580-700 --png stills");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("there are no frames 621-700"), std::string::npos) << run.output;
    EXPECT_TRUE(names_in(out.file("stills")).empty());

    // A write that fails once the video is under way, on the encoder's thread (the file size limit
    // here, as a full disk would): the capture ends with the writer's reason and leaves nothing.
    TempDir limited;
    run = run_command("cd " + limited.path() + " && trap '' XFSZ && ulimit -f 1024 && exec " + VELMORASTIK_CAPTURE +
                      " -C " + generated_set() + " --fps 10 --preset ultrafast --quiet show.mkv 2>&1");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, "velmorastik-capture: cannot write: " + limited.file("show.mkv") + ": File too large\n");
    EXPECT_TRUE(names_in(limited.path()).empty());

    if (geteuid() != 0) {
        chmod(out.path().c_str(), 0555);
        run = capture(out, "--fps 5 " + out.file("show.mp4"));
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.output.find("Permission denied"), std::string::npos) << run.output;
        chmod(out.path().c_str(), 0755);
    }
}

// A file of size zero bytes, sparse where the file system allows; 0 or -1 as truncate.
// The peak memory in kilobytes of command and what it starts, -1 when the command fails. GNU time
// measures it from a process of its own: a process forked from this one (which may have grown
// through earlier tests) would carry this one's size into its figure across the exec.
long peak_kilobytes(const std::string& command)
{
    TempDir scratch;
    const std::string report = scratch.file("peak.txt");
    const std::string quoted = "'" + command + "'";  // the tests' paths hold no quote
    if (std::system(("/usr/bin/time -f %M -o " + report + " sh -c " + quoted).c_str()) != 0)
        return -1;
    std::FILE* file = std::fopen(report.c_str(), "r");
    long peak = -1;
    if (file == nullptr || std::fscanf(file, "%ld", &peak) != 1)
        peak = -1;
    if (file != nullptr)
        std::fclose(file);
    return peak;
}

int sized_file(const char* path, std::int64_t size)
{
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int done = fd >= 0 ? ftruncate(fd, size) : -1;
    if (fd >= 0)
        close(fd);
    return done;
}

TEST(Video, UnusableSoundtracksGiveASilentVideoAtOnceInLittleMemory)
{
    TempDir show;
    std::filesystem::copy(generated_set() + "/data", show.file("data"), std::filesystem::copy_options::recursive);
    const std::string soundtrack = show.file("data/sfx/lumo.mp3");
    struct Case {
        const char* kind;
        int (*make)(const char* path);
        const char* reason;  // "" where FFmpeg says why
    };
    for (const Case& c : {
             Case{"500 GB, sparse", [](const char* p) { return sized_file(p, std::int64_t{500} << 30); },
                  "larger than 32 MiB, not a soundtrack"},
             Case{"30 MB of zeros", [](const char* p) { return sized_file(p, std::int64_t{30} << 20); }, ""},
             // Nothing will ever write into it: it must not be waited for.
             Case{"a FIFO", [](const char* p) { return mkfifo(p, 0644); }, "not a regular file"},
             Case{"a folder", [](const char* p) { return mkdir(p, 0755); }, "not a regular file"},
         }) {
        SCOPED_TRACE(c.kind);
        std::filesystem::remove_all(soundtrack);
        ASSERT_EQ(c.make(soundtrack.c_str()), 0);
        TempDir out;
        const CommandRun run = capture(out, "--fps 5 --frames 0-9 --preset ultrafast --quiet silent.mkv", show.path());
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find("velmorastik-capture: no soundtrack in the video (data/sfx/lumo.mp3: " +
                                  std::string(c.reason)),
                  std::string::npos)
            << run.output;
        const Probe p = probe(out.file("silent.mkv"));
        EXPECT_EQ(p.streams, 1);
        EXPECT_EQ(p.video.packets, 10);
        const long peak = peak_kilobytes("cd " + out.path() + " && " + VELMORASTIK_CAPTURE + " -C " + show.path() +
                                         " --fps 5 --frames 0-9 --preset ultrafast --quiet again.mkv >/dev/null 2>&1");
        EXPECT_GT(peak, 0);
        EXPECT_LT(peak, 200 * 1024) << "kilobytes at the capture's peak";
    }
}

TEST(Video, Mp4IntoAPipeIsRefusedAndMatroskaStreams)
{
    TempDir out;
    ASSERT_EQ(mkfifo(out.file("pipe.mp4").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(out.file("pipe.mkv").c_str(), 0644), 0);
    CommandRun run = capture(out, "--fps 5 --frames 0-9 --preset ultrafast pipe.mp4");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("velmorastik-capture: cannot write: " + out.file("pipe.mp4") +
                              ": an MP4 cannot be written into a pipe; name it .mkv\n"),
              std::string::npos)
        << run.output;

    // What comes out of the pipe is a Matroska video that plays to its end.
    std::thread reader([&out] {
        const std::vector<std::uint8_t> bytes = read_file(out.file("pipe.mkv"));
        std::FILE* copy = std::fopen(out.file("streamed.mkv").c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), copy);
        std::fclose(copy);
    });
    run = capture(out, "--fps 5 --frames 0-9 --preset ultrafast pipe.mkv");
    reader.join();
    EXPECT_EQ(run.status, 0) << run.output;
    const Probe p = probe(out.file("streamed.mkv"));
    EXPECT_EQ(p.video.codec, AV_CODEC_ID_H264);
    EXPECT_EQ(p.video.packets, 10);
    EXPECT_NEAR(p.video.seconds, 2.0, 0.01);
    EXPECT_TRUE(p.has_audio);
}

TEST(Video, AKilledOrInterruptedCaptureLeavesNothingBehind)
{
    for (const int signal : {SIGKILL, SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir out;
        int error_pipe[2];
        ASSERT_EQ(pipe(error_pipe), 0);
        const std::string set = generated_set();
        const pid_t child = fork();
        if (child == 0) {
            dup2(error_pipe[1], STDERR_FILENO);
            close(error_pipe[0]);
            close(error_pipe[1]);
            if (chdir(out.path().c_str()) == 0)
                execl(VELMORASTIK_CAPTURE, VELMORASTIK_CAPTURE, "-C", set.c_str(), "--fps", "10", "--preset",
                      "ultrafast", "--png", ".", "--raw", "frames.raw", "show.mkv", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(error_pipe[1]);
        // Stopped once it reports a tenth done: by then the video, the raw frames and stills are
        // under way, and the encoder's thread is busy.
        std::string progress;
        char chunk[256];
        ssize_t n;
        while (progress.find("10%") == std::string::npos && (n = read(error_pipe[0], chunk, sizeof chunk)) > 0)
            progress.append(chunk, static_cast<std::size_t>(n));
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        close(error_pipe[0]);
        ASSERT_NE(progress.find("10%"), std::string::npos) << progress;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "ends as stopped";
        EXPECT_EQ(names_in(out.path()), std::vector<std::string>{}) << "no file, hidden or not";
    }
}

}  // namespace
