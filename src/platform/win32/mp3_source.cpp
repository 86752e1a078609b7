// MP3 through libmpg123, streamed from the open file through read and seek callbacks, so that only
// a frame or two is ever held however long the file. The decoder is told the one output format
// (the device's rate, stereo, 16-bit): it resamples and duplicates mono itself, and gapless
// decoding drops the encoder's delay and padding, so the first sample out is the first sample in.

#include <mpg123.h>

#include <new>

#include "platform/win32/sound_source.h"

namespace {

struct Mp3Source {
    mpg123_handle* handle;
    std::FILE* file;
};

mpg123_ssize_t read_file(void* file, void* buffer, std::size_t bytes)
{
    const std::size_t got = std::fread(buffer, 1, bytes, static_cast<std::FILE*>(file));
    return got == 0 && std::ferror(static_cast<std::FILE*>(file)) ? -1 : static_cast<mpg123_ssize_t>(got);
}

off_t seek_file(void* file, off_t offset, int whence)
{
    std::FILE* stream = static_cast<std::FILE*>(file);
    if (std::fseek(stream, static_cast<long>(offset), whence) != 0)
        return -1;
    return static_cast<off_t>(std::ftell(stream));
}

std::size_t read_frames(void* state, std::int16_t* frames, std::size_t count)
{
    Mp3Source* mp3 = static_cast<Mp3Source*>(state);
    constexpr std::size_t frame_bytes = k_source_channels * sizeof(std::int16_t);
    unsigned char* out = reinterpret_cast<unsigned char*>(frames);
    std::size_t filled = 0;
    while (filled < count * frame_bytes) {
        std::size_t done = 0;
        const int status = mpg123_read(mp3->handle, out + filled, count * frame_bytes - filled, &done);
        filled += done;
        // The format is fixed before the first read, so a new one is the same one announced again;
        // any other status ends the sound: the end of the file, or damage the decoder could not
        // get past.
        if (status == MPG123_NEW_FORMAT || (status == MPG123_OK && done > 0))
            continue;
        break;
    }
    return filled / frame_bytes;
}

void close_source(void* state)
{
    Mp3Source* mp3 = static_cast<Mp3Source*>(state);
    mpg123_close(mp3->handle);
    mpg123_delete(mp3->handle);
    std::fclose(mp3->file);
    delete mp3;
}

bool fail(mpg123_handle* handle, std::FILE* file, const char* what, const char* why, char* reason,
          std::size_t reason_size)
{
    std::snprintf(reason, reason_size, "%s%s", what, why);
    if (handle != nullptr) {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
    std::fclose(file);
    return false;
}

}  // namespace

bool mp3_source_open(std::FILE* file, int rate, SoundSource* source, char* reason, std::size_t reason_size)
{
    int error = MPG123_OK;
    mpg123_init();  // needed by libmpg123 before 1.27, harmless after
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (handle == nullptr)
        return fail(nullptr, file, "cannot start the MP3 decoder: ", mpg123_plain_strerror(error), reason, reason_size);
    // Quiet first: the library prints every failed probe and damaged frame on stderr otherwise.
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_STEREO, 0);
    mpg123_param(handle, MPG123_FORCE_RATE, rate, 0);
    if (mpg123_format_none(handle) != MPG123_OK ||
        mpg123_format(handle, rate, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_replace_reader_handle(handle, read_file, seek_file, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle, file) != MPG123_OK)
        return fail(handle, file, "cannot decode it: ", mpg123_strerror(handle), reason, reason_size);
    // Reads up to the first frame: a file with no MP3 in it fails here, before anything plays.
    long out_rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle, &out_rate, &channels, &encoding) != MPG123_OK)
        return fail(handle, file, "cannot decode it: ", mpg123_strerror(handle), reason, reason_size);
    if (out_rate != rate || channels != k_source_channels || encoding != MPG123_ENC_SIGNED_16)
        return fail(handle, file, "cannot decode it: ", "no conversion to the output's format", reason, reason_size);
    Mp3Source* mp3 = new (std::nothrow) Mp3Source{handle, file};
    if (mp3 == nullptr)
        return fail(handle, file, "cannot decode it: ", "out of memory", reason, reason_size);
    *source = SoundSource{.state = mp3, .read = read_frames, .close = close_source};
    return true;
}
