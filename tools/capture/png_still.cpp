#include "png_still.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "fx/frame.h"
#include "platform/posix/output_file.h"

namespace {

// The encoder and its picture, made at the first still and kept for the rest.
struct PngEncoder {
    AVCodecContext* context = nullptr;
    AVFrame* picture = nullptr;
    AVPacket* packet = nullptr;
};

PngEncoder g_png;

// A still written and not yet named: its unnamed file, or -1 when it has a hidden name.
struct Staged {
    std::uint64_t index;
    int fd;
};

// The stills of this capture: the folder, and the span of frame numbers written into it.
struct Stills {
    std::string folder_name;
    int folder = -1;
    std::uint64_t written = 0;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t bytes = 0;
    std::vector<Staged> staged;
    std::size_t unnamed_left = 0;  // the open files the unnamed stills may still take
    bool hidden = false;            // some still has a hidden name
    char in_flight[NAME_MAX + 1] = {};
};

Stills g_stills;

// Every unnamed still stays open until the stills take their names together; the rest of the
// files (the video, the soundtrack, FFmpeg's own) need a few. Past that, stills get hidden names.
constexpr rlim_t k_files_kept_for_others = 64;

std::size_t unnamed_stills_allowed()
{
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur > k_files_kept_for_others ? limit.rlim_cur - k_files_kept_for_others : 0;
}

void close_staged()
{
    for (const Staged& still : g_stills.staged)
        if (still.fd >= 0)
            close(still.fd);
    g_stills.staged.clear();
}

bool write_all(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

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


void format_name(char* out, std::uint64_t index, bool hidden)
{
    // By hand, for the signal handler: ".frame-00042.png.part" or "frame-00042.png".
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + index % 10);
        index /= 10;
    } while (index != 0 || n < 5);
    char* p = out;
    for (const char* c = hidden ? ".frame-" : "frame-"; *c != '\0'; ++c)
        *p++ = *c;
    while (n > 0)
        *p++ = digits[--n];
    for (const char* c = hidden ? ".png.part" : ".png"; *c != '\0'; ++c)
        *p++ = *c;
    *p = '\0';
}

}  // namespace

bool png_stills_open(const std::string& folder, std::string* error)
{
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        *error = "cannot make: " + folder + ": " + std::strerror(errno);
        return false;
    }
    g_stills.folder_name = folder;
    g_stills.folder = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_stills.folder < 0) {
        *error = "cannot write stills into: " + folder + ": " + std::strerror(errno);
        return false;
    }
    g_stills.unnamed_left = unnamed_stills_allowed();
    return open_encoder(error);
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

    char hidden[48];
    format_name(hidden, index, true);
    if (g_stills.written == 0)
        g_stills.first = index;
    g_stills.last = index;
    ++g_stills.written;
    int fd = g_stills.unnamed_left > 0 ? open_unnamed_file(g_stills.folder, 0666) : -1;
    const bool unnamed = fd >= 0;
    if (fd < 0 && (g_stills.unnamed_left == 0 || unnamed_files_unsupported(errno) || errno == EMFILE)) {
        g_stills.hidden = true;
        fd = openat(g_stills.folder, hidden, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    }
    bool ok = fd >= 0 && write_all(fd, g_png.packet->data, static_cast<std::size_t>(g_png.packet->size));
    const int saved = errno;
    if (unnamed) {
        g_stills.staged.push_back({index, fd});
        --g_stills.unnamed_left;
    } else {
        if (fd >= 0 && close(fd) != 0 && ok)
            ok = false;
        g_stills.staged.push_back({index, -1});
    }
    g_stills.bytes += static_cast<std::uint64_t>(g_png.packet->size);
    av_packet_unref(g_png.packet);
    if (!ok) {
        char name[48];
        format_name(name, index, false);
        *error = "cannot write: " + g_stills.folder_name + "/" + name + ": " + std::strerror(saved);
    }
    return ok;
}

bool png_stills_commit(std::string* error)
{
    if (g_stills.folder < 0 || g_stills.written == 0)
        return true;
    // Everything on disk before any still takes its name.
    if (syncfs(g_stills.folder) != 0) {
        *error = "cannot write stills into: " + g_stills.folder_name + ": " + std::strerror(errno);
        png_stills_discard();
        return false;
    }
    for (const Staged& still : g_stills.staged) {
        char hidden[48], name[48];
        format_name(hidden, still.index, true);
        format_name(name, still.index, false);
        const bool named = still.fd >= 0 ? link_into_place(still.fd, g_stills.folder, name, g_stills.in_flight)
                                         : renameat(g_stills.folder, hidden, g_stills.folder, name) == 0;
        if (!named) {
            *error = "cannot write: " + g_stills.folder_name + "/" + name + ": " + std::strerror(errno);
            png_stills_discard();
            return false;
        }
    }
    close_staged();
    fsync(g_stills.folder);
    g_stills.written = 0;
    g_stills.hidden = false;
    return true;
}

void png_stills_discard()
{
    if (g_stills.in_flight[0] != '\0')
        unlinkat(g_stills.folder, g_stills.in_flight, 0);
    // Unnamed stills go with the process; hidden ones are removed by name.
    if (g_stills.folder < 0 || !g_stills.hidden)
        return;
    for (std::uint64_t index = g_stills.first; index <= g_stills.last; ++index) {
        char hidden[48];
        format_name(hidden, index, true);
        unlinkat(g_stills.folder, hidden, 0);
    }
}

std::uint64_t png_stills_bytes() { return g_stills.bytes; }
