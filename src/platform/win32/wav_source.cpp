// Plain WAV read straight from the file: 16-bit PCM at the output rate, mono or stereo. Anything
// else in a RIFF or AIFF file (other sample sizes or rates, compressed WAV) would need a converter
// of its own; it is refused with what to use instead.

#include <cstring>
#include <new>

#include "platform/win32/sound_source.h"

namespace {

constexpr std::uint16_t k_format_pcm = 1;
constexpr std::uint16_t k_format_extensible = 0xFFFE;
constexpr std::size_t k_chunk_header_bytes = 8;
constexpr std::size_t k_fmt_bytes_read = 26;  // up to the extensible format's sub-format tag

struct WavSource {
    std::FILE* file;
    int channels;
    std::uint32_t bytes_left;  // of the data chunk
};

std::uint32_t little_endian(const unsigned char* bytes, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

std::size_t read_frames(void* state, std::int16_t* frames, std::size_t count)
{
    WavSource* wav = static_cast<WavSource*>(state);
    const std::size_t in_frame_bytes = static_cast<std::size_t>(wav->channels) * sizeof(std::int16_t);
    unsigned char block[4096];
    std::size_t done = 0;
    while (done < count && wav->bytes_left >= in_frame_bytes) {
        std::size_t want = count - done;
        if (want > sizeof block / in_frame_bytes)
            want = sizeof block / in_frame_bytes;
        if (want > wav->bytes_left / in_frame_bytes)
            want = wav->bytes_left / in_frame_bytes;
        const std::size_t got = std::fread(block, in_frame_bytes, want, wav->file);
        for (std::size_t i = 0; i < got; ++i) {
            const unsigned char* in = block + i * in_frame_bytes;
            const auto left = static_cast<std::int16_t>(little_endian(in, 2));
            const auto right = wav->channels == 1 ? left : static_cast<std::int16_t>(little_endian(in + 2, 2));
            frames[(done + i) * k_source_channels] = left;
            frames[(done + i) * k_source_channels + 1] = right;
        }
        done += got;
        wav->bytes_left -= static_cast<std::uint32_t>(got * in_frame_bytes);
        if (got < want)
            break;  // the file is shorter than its header says
    }
    return done;
}

void close_source(void* state)
{
    WavSource* wav = static_cast<WavSource*>(state);
    std::fclose(wav->file);
    delete wav;
}

bool refuse(std::FILE* file, const char* why, char* reason, std::size_t reason_size)
{
    std::snprintf(reason, reason_size, "%s", why);
    std::fclose(file);
    return false;
}

}  // namespace

bool wav_source_open(std::FILE* file, int rate, SoundSource* source, char* reason, std::size_t reason_size)
{
    char unsupported[160];
    std::snprintf(unsupported, sizeof unsupported,
                  "WAV is played on Windows only as 16-bit PCM at %d Hz, mono or stereo; use MP3", rate);
    unsigned char riff[12];
    if (std::fread(riff, 1, sizeof riff, file) != sizeof riff)
        return refuse(file, "cannot decode it: the file ends in its header", reason, reason_size);
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return refuse(file, "AIFF is not played on Windows; use MP3", reason, reason_size);
    bool have_format = false;
    int channels = 0;
    for (;;) {
        unsigned char header[k_chunk_header_bytes];
        if (std::fread(header, 1, sizeof header, file) != sizeof header)
            return refuse(file, "cannot decode it: no sound data in the file", reason, reason_size);
        const std::uint32_t size = little_endian(header + 4, 4);
        if (std::memcmp(header, "data", 4) == 0) {
            if (!have_format)
                return refuse(file, "cannot decode it: sound data before its format", reason, reason_size);
            WavSource* wav = new (std::nothrow) WavSource{file, channels, size};
            if (wav == nullptr)
                return refuse(file, "cannot decode it: out of memory", reason, reason_size);
            *source = SoundSource{.state = wav, .read = read_frames, .close = close_source};
            return true;
        }
        std::uint32_t skip = size + (size & 1);  // chunks are padded to even sizes
        if (std::memcmp(header, "fmt ", 4) == 0) {
            unsigned char format[k_fmt_bytes_read] = {};
            const std::size_t wanted = size < sizeof format ? size : sizeof format;
            if (wanted < 16 || std::fread(format, 1, wanted, file) != wanted)
                return refuse(file, "cannot decode it: a damaged format chunk", reason, reason_size);
            skip -= static_cast<std::uint32_t>(wanted);
            std::uint32_t tag = little_endian(format, 2);
            if (tag == k_format_extensible && wanted >= k_fmt_bytes_read)
                tag = little_endian(format + 24, 2);
            channels = static_cast<int>(little_endian(format + 2, 2));
            const bool playable = tag == k_format_pcm && (channels == 1 || channels == 2) &&
                                  little_endian(format + 4, 4) == static_cast<std::uint32_t>(rate) &&
                                  little_endian(format + 14, 2) == 16;
            if (!playable)
                return refuse(file, unsupported, reason, reason_size);
            have_format = true;
        }
        if (skip > 0x7FFFFFFF || std::fseek(file, static_cast<long>(skip), SEEK_CUR) != 0)
            return refuse(file, "cannot decode it: the file cannot be read", reason, reason_size);
    }
}
