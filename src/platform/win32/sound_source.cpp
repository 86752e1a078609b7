// Which soundtracks the Windows build plays: MP3 through libmpg123 and plain 16-bit WAV. The other
// formats the music layer recognises would each need a decoder of their own, so they are refused
// with a reason that says what to use instead.

#include "platform/win32/sound_source.h"

namespace {

const char* refused_format_name(SoundFormat format)
{
    switch (format) {
    case SoundFormat::ogg_vorbis:
        return "OGG Vorbis";
    case SoundFormat::ogg_opus:
        return "Opus";
    case SoundFormat::flac:
        return "FLAC";
    default:
        return "this format";
    }
}

}  // namespace

bool sound_source_open(std::FILE* file, SoundFormat format, int rate, SoundSource* source, char* reason,
                       std::size_t reason_size)
{
    if (format == SoundFormat::mp3)
        return mp3_source_open(file, rate, source, reason, reason_size);
    if (format == SoundFormat::wav)
        return wav_source_open(file, rate, source, reason, reason_size);
    std::fclose(file);
    std::snprintf(reason, reason_size, "%s is not played on Windows; use MP3", refused_format_name(format));
    return false;
}
