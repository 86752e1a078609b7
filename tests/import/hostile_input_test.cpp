// The import against files made to hurt it: each is refused at once, or imported, in a process
// of its own within bounds of time and memory, and what it names outside itself is never read.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "import_run.h"
#include "jpeg_writer.h"
#include "picture_files.h"
#include "platform/output_file.h"
#include "run_command.h"
#include "sound_files.h"
#include "temp_dir.h"

namespace {

// What any hostile file may cost the import, refused or imported; the sanitizers' shadow memory
// and quarantine come on top.
#ifdef VELMORASTIK_SANITIZED
constexpr long k_peak_limit_kilobytes = 3 * 512 * 1024;
#else
constexpr long k_peak_limit_kilobytes = 512 * 1024;
#endif
// Not a measure of speed: a run still going then is a hang.
constexpr int k_deadline_seconds = 60;

std::vector<std::uint8_t> bytes_of(const std::string& text) { return {text.begin(), text.end()}; }

// A JPEG's frame header rewritten to declare another size; the scans stay as they were.
std::vector<std::uint8_t> with_jpeg_size(std::vector<std::uint8_t> jpeg, int width, int height)
{
    for (std::size_t i = 2; i + 9 < jpeg.size();) {
        const int marker = jpeg[i + 1];
        const std::size_t length = (jpeg[i + 2] << 8) | jpeg[i + 3];
        if (marker == 0xC0 || marker == 0xC2) {
            jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(height);
            jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(width);
            return jpeg;
        }
        i += 2 + length;
    }
    return {};
}

// A PNG's header rewritten to declare another size, its checksum made good again.
std::vector<std::uint8_t> with_png_size(std::vector<std::uint8_t> png, std::uint32_t width, std::uint32_t height)
{
    auto put = [&](std::size_t at, std::uint32_t value) {
        for (int k = 0; k < 4; ++k)
            png[at + k] = static_cast<std::uint8_t>(value >> (24 - 8 * k));
    };
    // The signature (8), the chunk's length (4), "IHDR" (4), then width and height.
    put(16, width);
    put(20, height);
    put(29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)));
    return png;
}

class HostileInputTest : public testing::Test {
protected:
    std::string in(const std::string& name) const { return folder_.file(name); }
    std::string show() const { return folder_.file("show"); }

    std::string picture(const std::string& name) const
    {
        Picture small(64, 48);
        small.fill(0, 0, 64, 48, {90, 140, 200});
        EXPECT_TRUE(save_picture(small, in(name)));
        return in(name);
    }

    // Runs the import on a hostile input: refused with one line naming the input and saying
    // why, within the bounds, and nothing made.
    void expect_refused(const std::string& arguments, const std::string& input, const std::string& reason) const
    {
        const BoundedRun run = run_import_bounded(folder_.path(), arguments, k_deadline_seconds);
        EXPECT_FALSE(run.timed_out) << arguments;
        EXPECT_EQ(run.status, 2) << arguments << "\n" << run.errors;
        const std::size_t last = run.errors.rfind('\n', run.errors.size() - 2);
        const std::string line = run.errors.substr(last == std::string::npos ? 0 : last + 1);
        EXPECT_NE(line.find(": " + input + ": "), std::string::npos) << line;
        EXPECT_NE(line.find(reason), std::string::npos) << line;
        EXPECT_LE(run.peak_kilobytes, k_peak_limit_kilobytes) << arguments;
        EXPECT_FALSE(std::filesystem::exists(show())) << arguments;
    }

    TempDir folder_;
};

TEST_F(HostileInputTest, DevicesAndPipesAreRefusedBeforeAnyDecoderWaitsOnThem)
{
    ASSERT_EQ(mkfifo(in("pipe").c_str(), 0644), 0);
    const std::string good = picture("good.png");
    expect_refused(show() + " /dev/zero", "/dev/zero", "not a regular file");
    expect_refused(show() + " " + in("pipe"), in("pipe"), "not a regular file");
    expect_refused("--texture /dev/zero " + show() + " " + good, "/dev/zero", "not a regular file");
    expect_refused("--texture " + in("pipe") + " " + show() + " " + good, in("pipe"), "not a regular file");
    expect_refused("--music " + in("pipe") + " " + show() + " " + good, in("pipe"), "not a regular file");
    expect_refused("--music " + folder_.path() + " " + show() + " " + good, folder_.path(), "not a regular file");
    // Named as what they are not: told by their content, or by having none.
    ASSERT_TRUE(output_write_whole(in("empty.mp3"), {}));
    expect_refused("--music " + in("empty.mp3") + " " + show() + " " + good, in("empty.mp3"), ": empty file");
    expect_refused(show() + " " + in("empty.mp3"), in("empty.mp3"), ": empty file");
    expect_refused("--music /proc/self/environ " + show() + " " + good, "/proc/self/environ", ": not a music file");
}

TEST_F(HostileInputTest, PicturesDeclaringHugeSizesAreRefusedFromTheirHeaders)
{
    // A few kilobytes each: a small picture's data under a header declaring billions of pixels.
    Picture small(64, 48);
    small.fill(0, 0, 32, 48, {200, 30, 30});
    ASSERT_TRUE(save_picture(small, in("small.jpg[interlace,subsample-mode=off]")));
    const std::vector<std::uint8_t> progressive = read_bytes(in("small.jpg"));
    ASSERT_TRUE(output_write_whole(in("bomb.jpg"), with_jpeg_size(progressive, 65500, 65500)));
    expect_refused(show() + " " + in("bomb.jpg"), in("bomb.jpg"),
                   "65500x65500 pixels is over the limit of 200 megapixels");

    Picture grey(64, 48, 1);
    ASSERT_TRUE(save_picture(grey, in("bits.png[bitdepth=1]")));
    ASSERT_TRUE(output_write_whole(in("bomb.png"), with_png_size(read_bytes(in("bits.png")), 65535, 65535)));
    expect_refused(show() + " " + in("bomb.png"), in("bomb.png"),
                   "65535x65535 pixels is over the limit of 200 megapixels");

    // libheif's own limits would fail the loader first, in words of no use to a person.
    ASSERT_TRUE(save_picture(small, in("small.avif")));
    std::vector<std::uint8_t> avif = read_bytes(in("small.avif"));
    const std::string ispe = "ispe";
    const auto size_box = std::search(avif.begin(), avif.end(), ispe.begin(), ispe.end());
    ASSERT_NE(size_box, avif.end());
    for (const int value : {20000, 10001}) {
        const auto at = size_box + (value == 20000 ? 8 : 12);
        for (int k = 0; k < 4; ++k)
            at[k] = static_cast<std::uint8_t>(value >> (24 - 8 * k));
    }
    ASSERT_TRUE(output_write_whole(in("bomb.avif"), avif));
    expect_refused(show() + " " + in("bomb.avif"), in("bomb.avif"),
                   "20000x10001 pixels is over the limit of 200 megapixels");

    // Under the pixels' limit, but a progressive JPEG keeps all its coefficients while decoding,
    // each component at its own sampling: all three at 2x1 is no subsampling at all.
    ASSERT_TRUE(output_write_whole(in("deep.jpg"), with_jpeg_size(progressive, 19000, 10000)));
    expect_refused(show() + " " + in("deep.jpg"), in("deep.jpg"),
                   "19000x10000 pixels would take 1087 MiB to decode, over the limit of 384 MiB");
    const std::vector<std::uint8_t> samples(64 * 48 * 3, 100);
    const std::vector<std::uint8_t> wide = encode_jpeg(samples.data(), 64, 48, 3,
                                                       {.progressive = true, .sampling = "2x1,2x1,2x1"});
    ASSERT_TRUE(output_write_whole(in("wide.jpg"), with_jpeg_size(wide, 14142, 14142)));
    expect_refused(show() + " " + in("wide.jpg"), in("wide.jpg"),
                   "14142x14142 pixels would take 1144 MiB to decode, over the limit of 384 MiB");
    // Just under that limit (7800x7800 at 2x1 is 348 MiB), the decoder holds it all, the blocks
    // the scans lack taken as empty: imported, within the bounds.
    ASSERT_TRUE(output_write_whole(in("near.jpg"), with_jpeg_size(wide, 7800, 7800)));
    const BoundedRun near = run_import_bounded(folder_.path(), show() + " " + in("near.jpg"), k_deadline_seconds);
    EXPECT_FALSE(near.timed_out);
    EXPECT_EQ(near.status, 0) << near.errors;
    EXPECT_LE(near.peak_kilobytes, k_peak_limit_kilobytes);
}

TEST_F(HostileInputTest, RealPhotoOfOneHundredMegapixelsStillImportsWithinTheBounds)
{
    ASSERT_TRUE(save_large_photo(in("large.jpg"), 12000, 9000));
    const BoundedRun run = run_import_bounded(folder_.path(), show() + " " + in("large.jpg"), k_deadline_seconds);
    EXPECT_FALSE(run.timed_out);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_LE(run.peak_kilobytes, k_peak_limit_kilobytes);
    EXPECT_EQ(files_under(show() + "/data").size(), 14u);
}

TEST_F(HostileInputTest, FilesThatNameOtherFilesAreRefusedAndWhatTheyNameIsNeverRead)
{
    const std::string good = picture("good.png");
    ASSERT_TRUE(make_sound(in("private.wav"), "0.5*sin(2*PI*440*t)", 5));
    // A playlist and a concatenation, each named as a song, each naming the user's other file.
    ASSERT_TRUE(output_write_whole(in("song.mp3"), bytes_of("#EXTM3U\n#EXT-X-TARGETDURATION:5\n#EXTINF:5,\n" +
                                                            in("private.wav") + "\n#EXT-X-ENDLIST\n")));
    expect_refused("--music " + in("song.mp3") + " " + show() + " " + good, in("song.mp3"), "not a music file");
    ASSERT_TRUE(output_write_whole(in("list.mp3"), bytes_of("ffconcat version 1.0\nfile private.wav\n")));
    expect_refused("--music " + in("list.mp3") + " " + show() + " " + good, in("list.mp3"), "not a music file");
    // The same without its end, which FFmpeg waited on for ever, and naming itself.
    ASSERT_TRUE(
        output_write_whole(in("live.mp3"), bytes_of("#EXTM3U\n#EXT-X-TARGETDURATION:5\n#EXTINF:5,\nprivate.wav\n")));
    expect_refused("--music " + in("live.mp3") + " " + show() + " " + good, in("live.mp3"), "not a music file");
    ASSERT_TRUE(output_write_whole(in("loop.mp3"), bytes_of("ffconcat version 1.0\nfile loop.mp3\n")));
    expect_refused("--music " + in("loop.mp3") + " " + show() + " " + good, in("loop.mp3"), "not a music file");

    // A drawing naming the picture beside it, a video and ImageMagick's own drawing language.
    const std::string taken = "not a picture the import takes";
    ASSERT_TRUE(output_write_whole(in("drawing.svg"),
                                   bytes_of("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"48\">"
                                            "<image href=\"good.png\" width=\"64\" height=\"48\"/></svg>\n")));
    expect_refused(show() + " " + in("drawing.svg"), in("drawing.svg"), taken);
    ASSERT_EQ(run_command("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:d=1 -y " + in("clip.mp4")).status,
              0);
    expect_refused(show() + " " + in("clip.mp4"), in("clip.mp4"), taken);
    ASSERT_TRUE(
        output_write_whole(in("drawing.mvg"), bytes_of("viewbox 0 0 64 48\nimage over 0,0 64,48 \"good.png\"\n")));
    expect_refused(show() + " " + in("drawing.mvg"), in("drawing.mvg"), taken);
}

TEST_F(HostileInputTest, MusicAtOneHertzIsRefusedInsteadOfResampledIntoGigabytes)
{
    // 100,000 eight-bit samples declared at 1 Hz: 44,100 frames out for each one.
    std::vector<std::uint8_t> wav = bytes_of("RIFF....WAVEfmt ");
    auto put = [&](std::uint32_t value, int size) {
        for (int k = 0; k < size; ++k)
            wav.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
    };
    const std::uint32_t samples = 100000;
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // one channel
    put(1, 4);  // 1 Hz
    put(1, 4);  // bytes a second
    put(1, 2);  // bytes a frame
    put(8, 2);  // bits a sample
    for (char c : std::string("data"))
        wav.push_back(static_cast<std::uint8_t>(c));
    put(samples, 4);
    wav.resize(wav.size() + samples, 128);
    for (int k = 0; k < 4; ++k)
        wav[4 + k] = static_cast<std::uint8_t>((wav.size() - 8) >> (8 * k));
    ASSERT_TRUE(output_write_whole(in("slow.wav"), wav));
    expect_refused("--music " + in("slow.wav") + " " + show() + " " + picture("good.png"), in("slow.wav"),
                   "its sample rate, 1 Hz, is below 8000 Hz");
}

TEST_F(HostileInputTest, DamagedAndCutShortMusicIsKeptWithANoteSayingWhatWasLost)
{
    const std::string good = picture("good.png");
    const std::string tone = "0.5*sin(2*PI*440*t)";
    // 500 KB of noise inside a long FLAC: skipped, the rest of the music kept.
    ASSERT_TRUE(make_sound(in("long.flac"), tone, 200));
    std::vector<std::uint8_t> flac = read_bytes(in("long.flac"));
    std::vector<std::uint8_t> noise(500 * 1024);
    std::mt19937 random(23);
    for (std::uint8_t& byte : noise)
        byte = static_cast<std::uint8_t>(random());
    flac.insert(flac.begin() + static_cast<long>(flac.size() * 3 / 10), noise.begin(), noise.end());
    ASSERT_TRUE(output_write_whole(in("noisy.flac"), flac));
    BoundedRun run = run_import_bounded(folder_.path(), "--music " + in("noisy.flac") + " " + show() + " " + good,
                                        k_deadline_seconds);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.errors.find("velmorastik-import: " + in("noisy.flac") + ": 1 damaged packet skipped\n"),
              std::string::npos)
        << run.errors;
    std::vector<std::int16_t> soundtrack = decode_sound(show() + "/data/sfx/lumo.mp3");
    EXPECT_EQ(soundtrack.size() / 2, 7067u * k_rate / 60) << "the show's 7067 frames at 60 fps, the noise left out";
    std::filesystem::remove_all(show());

    // The first two thirds of a minute's FLAC, which declares the whole minute.
    ASSERT_TRUE(make_sound(in("minute.flac"), tone, 60));
    flac = read_bytes(in("minute.flac"));
    flac.resize(flac.size() * 2 / 3);
    ASSERT_TRUE(output_write_whole(in("cut.flac"), flac));
    run = run_import_bounded(folder_.path(), "--music " + in("cut.flac") + " " + show() + " " + good,
                             k_deadline_seconds);
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::string note = "velmorastik-import: " + in("cut.flac") + ": ";
    const std::size_t at = run.errors.rfind(note);
    ASSERT_NE(at, std::string::npos) << run.errors;
    double decoded = 0;
    double declared = 0;
    ASSERT_EQ(
        std::sscanf(run.errors.c_str() + at + note.size(), "%lf s of its declared %lf s decoded", &decoded, &declared),
        2)
        << run.errors;
    EXPECT_NEAR(declared, 60.0, 0.05);
    soundtrack = decode_sound(show() + "/data/sfx/lumo.mp3");
    EXPECT_NEAR(decoded, seconds_of(soundtrack), 0.2) << "what was decoded is what was kept";
    EXPECT_NEAR(decoded, 40.0, 2.0);
}

TEST_F(HostileInputTest, InterruptWhileTheSetIsWrittenRemovesTheFolderTheImportMade)
{
    // Every file's sync held up for a second, so that the interrupt comes while the set is
    // written into the new folder.
    const std::string script =
        "cd " + folder_.path() +
        " && { strace -f -qq -o /dev/null -e trace=fsync -e inject=fsync:delay_enter=1000000 " + VELMORASTIK_IMPORT +
        " " + show() + " " + picture("good.png") +
        " 2>/dev/null & tracer=$!; "
        "for i in $(seq 600); do [ -d show ] && break; sleep 0.05; done; [ -d show ] && echo made; "
        "sleep 0.5; kill -INT $(cat /proc/$tracer/task/$tracer/children); wait $tracer; }";
    const CommandRun run = run_command(script);
    ASSERT_EQ(run.output, "made\n") << "the new folder was seen before the interrupt";
    EXPECT_FALSE(std::filesystem::exists(show()));
    EXPECT_EQ(names_in(folder_.path()), std::vector<std::string>{"good.png"});
}

}  // namespace
