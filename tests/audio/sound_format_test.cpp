#include <gtest/gtest.h>

#include <string>

#include "audio/sound_format.h"

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string text;
    for (int value : values)
        text += static_cast<char>(value);
    return text;
}

struct FormatCase {
    std::string head;
    SoundFormat format;
    const char* what;
};

// Told by content alone, as the original's audio library did; anything else is refused before a
// decoder reads it.
TEST(SoundFormat, EachFormatIsToldByItsFirstBytesAndNothingElseIsTaken)
{
    const std::string ogg_page = "OggS" + std::string(24, '\0');
    const FormatCase cases[] = {
        {"ID3\x04" + std::string(10, '\0'), SoundFormat::mp3, "MP3 with a tag"},
        {bytes({0xFF, 0xFB, 0x90, 0x64}), SoundFormat::mp3, "MPEG-1 layer III frame"},
        {bytes({0xFF, 0xF3, 0x40, 0xC4}), SoundFormat::mp3, "MPEG-2 layer III frame"},
        {bytes({0xFF, 0xFD, 0x90, 0x64}), SoundFormat::unknown, "layer II frame"},
        {ogg_page + "OpusHead", SoundFormat::ogg_opus, "Opus in Ogg"},
        {ogg_page + "\x01vorbis\0", SoundFormat::ogg_vorbis, "Vorbis in Ogg"},
        {"fLaC" + std::string(8, '\0'), SoundFormat::flac, "FLAC"},
        {"RIFF" + bytes({36, 0, 0, 0}) + "WAVEfmt ", SoundFormat::wav, "WAV"},
        {"FORM" + bytes({0, 0, 0, 36}) + "AIFFCOMM", SoundFormat::wav, "AIFF"},
        {"RIFF" + bytes({36, 0, 0, 0}) + "AVI LIST", SoundFormat::unknown, "AVI"},
        {std::string(36, '\0'), SoundFormat::unknown, "zeros"},
        {"ID", SoundFormat::unknown, "two bytes"},
        {"", SoundFormat::unknown, "nothing"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(sound_format_of(reinterpret_cast<const std::uint8_t*>(c.head.data()), c.head.size()), c.format)
            << c.what;
}

}  // namespace
