#include "audio/sound_format.h"

#include <cstring>

namespace {

bool starts_with(const std::uint8_t* head, std::size_t size, std::size_t at, const char* magic)
{
    const std::size_t length = std::strlen(magic);
    return size >= at + length && std::memcmp(head + at, magic, length) == 0;
}

}  // namespace

SoundFormat sound_format_of(const std::uint8_t* head, std::size_t size)
{
    if (starts_with(head, size, 0, "ID3"))
        return SoundFormat::mp3;
    // An MPEG audio frame header of layer III: eleven sync bits, then the layer bits 01.
    if (size >= 2 && head[0] == 0xFF && (head[1] & 0xE6) == 0xE2)
        return SoundFormat::mp3;
    if (starts_with(head, size, 0, "OggS"))
        return starts_with(head, size, 28, "OpusHead") ? SoundFormat::ogg_opus : SoundFormat::ogg_vorbis;
    if (starts_with(head, size, 0, "fLaC"))
        return SoundFormat::flac;
    if ((starts_with(head, size, 0, "RIFF") && starts_with(head, size, 8, "WAVE")) ||
        (starts_with(head, size, 0, "FORM") && starts_with(head, size, 8, "AIFF")))
        return SoundFormat::wav;
    return SoundFormat::unknown;
}
