#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "import_run.h"
#include "jpeg_reference.h"
#include "jpeg_writer.h"
#include "picture_files.h"
#include "platform/output_file.h"
#include "run_command.h"
#include "sound_files.h"
#include "temp_dir.h"

namespace {

// The show at 60 frames a second: 23 fades of 5.1 s, as the capture counts them.
constexpr int k_show_frames = 7067;
constexpr double k_fade_seconds = 5.1;
// The tests' tone, 0.5 * sin(...), in 16-bit samples.
constexpr double k_tone_rms = 0.5 * 32767 / 1.4142135623730951;

// The mean over a rectangle; far from any colour when the rectangle is not all in the picture
// (a picture that was not written decodes as 0x0).
Rgb mean_colour(const ReferenceImage& image, int x, int y, int w, int h)
{
    if (x < 0 || y < 0 || x + w > image.width || y + h > image.height || image.components != 3)
        return {-1000, -1000, -1000};
    double sum[3] = {};
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column)
            for (int c = 0; c < 3; ++c)
                sum[c] += image.at(column, row)[c];
    const double n = static_cast<double>(w) * h;
    return {static_cast<int>(std::lround(sum[0] / n)), static_cast<int>(std::lround(sum[1] / n)),
            static_cast<int>(std::lround(sum[2] / n))};
}

Rgb pixel(const ReferenceImage& image, int x, int y) { return mean_colour(image, x, y, 1, 1); }

testing::AssertionResult colour_near(Rgb actual, Rgb expected, int tolerance)
{
    if (std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "(" << actual.r << "," << actual.g << "," << actual.b << ") is not within "
                                       << tolerance << " of (" << expected.r << "," << expected.g << "," << expected.b
                                       << ")";
}

constexpr Rgb k_black = {0, 0, 0};

// Each test imports into show/ inside its own folder, from that folder.
class ImportTest : public testing::Test {
protected:
    std::string in(const std::string& name) const { return folder_.file(name); }
    std::string show() const { return folder_.file("show"); }
    ImportRun import(const std::string& arguments) const { return run_import(folder_.path(), arguments); }

    ReferenceImage picture_at(const std::string& place, const std::string& set = {}) const
    {
        return decode_reference(read_bytes((set.empty() ? show() : set) + "/data/" + place));
    }

    // A flat picture of one colour.
    std::string flat(const std::string& name, Rgb colour, int width = 64, int height = 48) const
    {
        Picture picture(width, height);
        picture.fill(0, 0, width, height,
                     {static_cast<std::uint8_t>(colour.r), static_cast<std::uint8_t>(colour.g),
                      static_cast<std::uint8_t>(colour.b)});
        EXPECT_TRUE(save_picture(picture, in(name)));
        return in(name);
    }

    TempDir folder_;
};

TEST_F(ImportTest, LargePhotoIsTurnedUprightAndContainedBetweenBlackBars)
{
    // Stored 4000x3000 with a red marker in its stored top-left corner; orientation 6 turns it a
    // quarter clockwise, to 3000x4000 with the marker at the top right.
    Picture photo(4000, 3000);
    photo.fill(0, 0, 4000, 3000, {60, 110, 170});
    photo.fill(0, 0, 400, 400, {230, 20, 20});
    ASSERT_TRUE(save_picture(photo, in("photo.jpg"), 6));

    const ImportRun run = import(show() + " " + in("photo.jpg"));
    ASSERT_EQ(run.status, 0) << run.errors;
    const ReferenceImage out = picture_at("gfx/misc/tzback.jpg");
    ASSERT_EQ(out.width, 640);
    ASSERT_EQ(out.height, 480);

    // 3000x4000 contained in 640x480: 360x480 at x 140 to 499; the marker 48x48 at its top right.
    const Rgb blue = {60, 110, 170};
    EXPECT_TRUE(colour_near(mean_colour(out, 458, 6, 36, 36), {230, 20, 20}, 16)) << "marker at the top right";
    EXPECT_TRUE(colour_near(mean_colour(out, 146, 6, 36, 36), blue, 10)) << "top left";
    EXPECT_TRUE(colour_near(mean_colour(out, 146, 438, 36, 36), blue, 10)) << "bottom left";
    EXPECT_TRUE(colour_near(mean_colour(out, 458, 438, 36, 36), blue, 10)) << "bottom right";
    EXPECT_TRUE(colour_near(mean_colour(out, 0, 0, 136, 480), k_black, 2)) << "left bar";
    EXPECT_TRUE(colour_near(mean_colour(out, 504, 0, 136, 480), k_black, 2)) << "right bar";
    // The picture's edges where the fit puts them.
    EXPECT_TRUE(colour_near(pixel(out, 137, 240), k_black, 16));
    EXPECT_TRUE(colour_near(pixel(out, 143, 240), blue, 16));
    EXPECT_TRUE(colour_near(pixel(out, 496, 240), blue, 16));
    EXPECT_TRUE(colour_near(pixel(out, 502, 240), k_black, 16));
}

TEST_F(ImportTest, ContainKeepsTheShapeAndCoverFillsTheFrameAroundTheCentre)
{
    // A portrait 600x1200: red rises with the row, blue with the column, green everywhere.
    Picture portrait(600, 1200);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 600; ++x) {
            std::uint8_t* p = portrait.at(x, y);
            p[0] = static_cast<std::uint8_t>(std::lround(y * 255.0 / 1199));
            p[1] = 200;
            p[2] = static_cast<std::uint8_t>(std::lround(x * 255.0 / 599));
        }
    ASSERT_TRUE(save_picture(portrait, in("portrait.png")));
    // A tiny 20x10 in four upright stripes.
    Picture tiny(20, 10);
    tiny.fill(0, 0, 5, 10, {255, 0, 0});
    tiny.fill(5, 0, 5, 10, {0, 255, 0});
    tiny.fill(10, 0, 5, 10, {0, 0, 255});
    tiny.fill(15, 0, 5, 10, {255, 255, 255});
    ASSERT_TRUE(save_picture(tiny, in("tiny.png")));

    const std::string contain = in("contain");
    const std::string cover = in("cover");
    ImportRun run = import(contain + " " + in("portrait.png") + " " + in("tiny.png"));
    ASSERT_EQ(run.status, 0) << run.errors;
    run = import("--fit cover " + cover + " " + in("portrait.png") + " " + in("tiny.png"));
    ASSERT_EQ(run.status, 0) << run.errors;

    // Contain, portrait: 240x480 at x 200 to 439, the whole height.
    ReferenceImage out = picture_at("gfx/misc/tzback.jpg", contain);
    EXPECT_TRUE(colour_near(mean_colour(out, 0, 0, 196, 480), k_black, 2)) << "left bar";
    EXPECT_TRUE(colour_near(mean_colour(out, 444, 0, 196, 480), k_black, 2)) << "right bar";
    EXPECT_TRUE(colour_near(pixel(out, 203, 1), {0, 200, 3}, 12)) << "top left: first row, first column";
    EXPECT_TRUE(colour_near(pixel(out, 436, 478), {255, 200, 252}, 12)) << "bottom right: last row and column";
    EXPECT_TRUE(colour_near(pixel(out, 320, 240), {128, 200, 128}, 8)) << "centre";

    // Contain, tiny: 640x320 at rows 80 to 399, each stripe 160 wide.
    out = picture_at("gfx/1/1.jpg", contain);
    EXPECT_TRUE(colour_near(mean_colour(out, 0, 0, 640, 76), k_black, 2)) << "top bar";
    EXPECT_TRUE(colour_near(mean_colour(out, 0, 404, 640, 76), k_black, 2)) << "bottom bar";
    EXPECT_TRUE(colour_near(pixel(out, 70, 83), {255, 0, 0}, 24)) << "first row";
    EXPECT_TRUE(colour_near(pixel(out, 70, 396), {255, 0, 0}, 24)) << "last row";
    EXPECT_TRUE(colour_near(pixel(out, 240, 240), {0, 255, 0}, 24));
    EXPECT_TRUE(colour_near(pixel(out, 400, 240), {0, 0, 255}, 24));
    EXPECT_TRUE(colour_near(pixel(out, 570, 240), {255, 255, 255}, 24));

    // Cover, portrait: scaled to 640x1280 and its rows 400 to 879 kept, source rows 375 to 825.
    out = picture_at("gfx/misc/tzback.jpg", cover);
    EXPECT_TRUE(colour_near(mean_colour(out, 300, 0, 40, 1), {80, 200, 128}, 6)) << "top row";
    EXPECT_TRUE(colour_near(mean_colour(out, 300, 479, 40, 1), {175, 200, 128}, 6)) << "bottom row";
    EXPECT_TRUE(colour_near(pixel(out, 1, 240), {128, 200, 0}, 12)) << "first column";
    EXPECT_TRUE(colour_near(pixel(out, 638, 240), {128, 200, 255}, 12)) << "last column";

    // Cover, tiny: scaled to 960x480 and its columns 160 to 799 kept; the stripes' edges at 80,
    // 320 and 560.
    const ReferenceImage tiny_cover = picture_at("gfx/1/1.jpg", cover);
    EXPECT_TRUE(colour_near(pixel(tiny_cover, 20, 240), {255, 0, 0}, 24));
    EXPECT_TRUE(colour_near(pixel(tiny_cover, 200, 240), {0, 255, 0}, 24));
    EXPECT_TRUE(colour_near(pixel(tiny_cover, 440, 240), {0, 0, 255}, 24));
    EXPECT_TRUE(colour_near(pixel(tiny_cover, 620, 240), {255, 255, 255}, 24));

    // No black edge anywhere in either cover picture.
    for (const ReferenceImage* image : {static_cast<const ReferenceImage*>(&out), &tiny_cover}) {
        int darkest = 3 * 255;
        for (int x = 0; x < 640; ++x)
            for (int y : {0, 479}) {
                const Rgb p = pixel(*image, x, y);
                darkest = std::min(darkest, p.r + p.g + p.b);
            }
        for (int y = 0; y < 480; ++y)
            for (int x : {0, 639}) {
                const Rgb p = pixel(*image, x, y);
                darkest = std::min(darkest, p.r + p.g + p.b);
            }
        EXPECT_GT(darkest, 200) << "the channels' sum at the darkest edge pixel";
    }
}

TEST_F(ImportTest, TransparencyDeepColourCmykAndWebpComeOutInTheirColours)
{
    // Thirds: opaque red, fully transparent white, half-transparent white.
    Picture alpha(640, 480, 4);
    alpha.fill(0, 0, 213, 480, {255, 0, 0, 255});
    alpha.fill(213, 0, 214, 480, {255, 255, 255, 0});
    alpha.fill(427, 0, 213, 480, {255, 255, 255, 128});
    ASSERT_TRUE(save_picture(alpha, in("alpha.png")));

    // Sixteen bits a sample; halves of (0x4000, 0xC000, 0xFFFF) and (0xFFFF, 0, 0x8080).
    std::vector<std::uint16_t> deep(640 * 480 * 3);
    for (std::size_t i = 0; i < 640 * 480; ++i) {
        const bool left = i % 640 < 320;
        deep[3 * i] = left ? 0x4000 : 0xFFFF;
        deep[3 * i + 1] = left ? 0xC000 : 0;
        deep[3 * i + 2] = left ? 0xFFFF : 0x8080;
    }
    ASSERT_TRUE(save_picture_16bit(deep, 640, 480, in("deep.png")));

    // CMYK thirds with no profile: no ink, magenta and yellow, black ink alone; stored the Adobe
    // way, 255 for no ink, as libjpeg takes the samples.
    std::vector<std::uint8_t> cmyk(640 * 480 * 4);
    for (std::size_t i = 0; i < 640 * 480; ++i) {
        const std::size_t x = i % 640;
        const std::uint8_t stored[3][4] = {{255, 255, 255, 255}, {255, 0, 0, 255}, {255, 255, 255, 0}};
        const std::uint8_t* third = stored[x < 213 ? 0 : x < 427 ? 1 : 2];
        std::copy(third, third + 4, &cmyk[4 * i]);
    }
    ASSERT_TRUE(output_write_whole(in("cmyk.jpg"), encode_jpeg(cmyk.data(), 640, 480, 4, {.quality = 95})));

    Picture webp(640, 480);
    webp.fill(0, 0, 320, 480, {30, 120, 220});
    webp.fill(320, 0, 320, 480, {220, 200, 40});
    ASSERT_TRUE(save_picture(webp, in("photo.webp[lossless]")));

    const ImportRun run = import(show() + " " + in("alpha.png") + " " + in("deep.png") + " " + in("cmyk.jpg") + " " +
                                 in("photo.webp"));
    ASSERT_EQ(run.status, 0) << run.errors;

    ReferenceImage out = picture_at("gfx/misc/tzback.jpg");
    EXPECT_TRUE(colour_near(mean_colour(out, 80, 200, 40, 40), {255, 0, 0}, 6)) << "opaque";
    EXPECT_TRUE(colour_near(mean_colour(out, 300, 200, 40, 40), k_black, 2)) << "transparent: black";
    EXPECT_TRUE(colour_near(mean_colour(out, 510, 200, 40, 40), {128, 128, 128}, 3)) << "half white over black";

    out = picture_at("gfx/1/1.jpg");
    EXPECT_TRUE(colour_near(mean_colour(out, 140, 200, 40, 40), {64, 192, 255}, 3)) << "the high bytes";
    EXPECT_TRUE(colour_near(mean_colour(out, 460, 200, 40, 40), {255, 0, 128}, 3)) << "the high bytes";

    out = picture_at("gfx/1/2.jpg");
    const Rgb paper = mean_colour(out, 80, 200, 40, 40);
    const Rgb red = mean_colour(out, 300, 200, 40, 40);
    const Rgb ink = mean_colour(out, 510, 200, 40, 40);
    EXPECT_GE(std::min({paper.r, paper.g, paper.b}), 235) << "no ink is white, not inverted";
    EXPECT_TRUE(red.r > 200 && red.g < 80 && red.b < 80)
        << "magenta and yellow print red: (" << red.r << "," << red.g << "," << red.b << ")";
    EXPECT_LE(std::max({ink.r, ink.g, ink.b}), 70) << "black ink is dark";

    out = picture_at("gfx/1/3.jpg");
    EXPECT_TRUE(colour_near(mean_colour(out, 140, 200, 40, 40), {30, 120, 220}, 3));
    EXPECT_TRUE(colour_near(mean_colour(out, 460, 200, 40, 40), {220, 200, 40}, 3));
}

TEST_F(ImportTest, WideGamutProfileIsConvertedToSrgb)
{
    // sRGB red and a green, stored as Display P3 numbers with the P3 profile embedded.
    Picture picture(640, 480);
    picture.fill(0, 0, 320, 480, {255, 0, 0});
    picture.fill(320, 0, 320, 480, {40, 160, 60});
    const std::vector<std::uint8_t> p3 = save_in_display_p3(picture, in("p3.jpg[Q=95]"));
    ASSERT_EQ(p3.size(), 640u * 480 * 3);
    const Rgb stored_red = {p3[0], p3[1], p3[2]};
    ASSERT_TRUE(colour_near(stored_red, {234, 51, 34}, 3)) << "what a reader ignoring the profile shows";

    const ImportRun run = import(show() + " " + in("p3.jpg"));
    ASSERT_EQ(run.status, 0) << run.errors;
    const ReferenceImage out = picture_at("gfx/misc/tzback.jpg");
    EXPECT_TRUE(colour_near(mean_colour(out, 140, 200, 40, 40), {255, 0, 0}, 6));
    EXPECT_TRUE(colour_near(mean_colour(out, 460, 200, 40, 40), {40, 160, 60}, 6));
}

TEST_F(ImportTest, TextureIsTheCentreOfItsPictureInTheEffectsRowsOfRgb)
{
    // 512x256 in four upright stripes told apart by red, green rising with the row: the cover
    // fit keeps the middle two stripes whole, unscaled.
    Picture picture(512, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x) {
            std::uint8_t* p = picture.at(x, y);
            p[0] = static_cast<std::uint8_t>(40 + 60 * (x / 128));
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 200;
        }
    ASSERT_TRUE(save_picture(picture, in("texture.png")));
    const ImportRun run = import("--texture " + in("texture.png") + " " + show() + " " + flat("a.png", {90, 90, 90}));
    ASSERT_EQ(run.status, 0) << run.errors;

    const std::vector<std::uint8_t> texture = read_bytes(show() + "/data/lumo.raw");
    ASSERT_EQ(texture.size(), 196608u) << "256x256 texels of three bytes";
    auto texel = [&](int x, int y) {
        const std::uint8_t* p = &texture[(static_cast<std::size_t>(y) * 256 + x) * 3];
        return Rgb{p[0], p[1], p[2]};
    };
    EXPECT_TRUE(colour_near(texel(0, 0), {100, 0, 200}, 2)) << "the second stripe's top left";
    EXPECT_TRUE(colour_near(texel(120, 100), {100, 100, 200}, 2));
    EXPECT_TRUE(colour_near(texel(136, 100), {160, 100, 200}, 2)) << "the third stripe";
    EXPECT_TRUE(colour_near(texel(255, 255), {160, 255, 200}, 2)) << "the third stripe's bottom right";
}

TEST_F(ImportTest, LongMusicEndsWithTheShowFadingOut)
{
    ASSERT_TRUE(make_sound(in("long.flac"), "0.5*sin(2*PI*440*t)", 130));
    const ImportRun run = import("--music " + in("long.flac") + " " + show() + " " + flat("a.png", {90, 90, 90}));
    ASSERT_EQ(run.status, 0) << run.errors;

    const std::vector<std::int16_t> music = decode_sound(show() + "/data/sfx/lumo.mp3");
    // Cut at the show's end exactly: 44,100 / 60 = 735 samples a channel for each of its frames.
    EXPECT_EQ(music.size() / 2, std::size_t{k_show_frames} * k_rate / 60) << "samples a channel";
    const double length = seconds_of(music);
    const double loud = rms(music, 50, 51);
    EXPECT_NEAR(loud, k_tone_rms, 0.05 * k_tone_rms) << "the middle plays the music as it is";
    EXPECT_NEAR(rms(music, length - k_fade_seconds - 0.5, length - k_fade_seconds - 0.1) / loud, 1.0, 0.03)
        << "not yet fading";
    // The fade's shape, sample by sample, is the soundtrack's own test's (soundtrack_test.cpp).
    EXPECT_LT(rms(music, length - 0.1, length) / loud, 0.03) << "the last 100 ms are near silent";
}

TEST_F(ImportTest, MusicStartSkipsTheMusicsBeginning)
{
    // Silent for 4 s, then a tone to 12 s; from 3.5 s, 8.5 s are left, shorter than the show.
    ASSERT_TRUE(make_sound(in("late.flac"), "if(lt(t,4),0,0.5*sin(2*PI*440*t))", 12));
    const ImportRun run = import("--music " + in("late.flac") + " --music-start 3.5 " + show() + " " +
                                 flat("a.png", {90, 90, 90}));
    ASSERT_EQ(run.status, 0) << run.errors;

    const std::vector<std::int16_t> music = decode_sound(show() + "/data/sfx/lumo.mp3");
    EXPECT_NEAR(seconds_of(music), 8.5, 0.05);
    EXPECT_LT(rms(music, 0, 0.45), 0.01 * k_tone_rms) << "the last half second of the silence";
    EXPECT_NEAR(rms(music, 0.55, 1.5), k_tone_rms, 0.05 * k_tone_rms) << "the tone from 0.5 s on";
}

TEST_F(ImportTest, ShortMusicIsKeptWholeWithoutAFade)
{
    ASSERT_TRUE(make_sound(in("short.ogg"), "0.5*sin(2*PI*440*t)", 10));
    const ImportRun run = import("--music " + in("short.ogg") + " " + show() + " " + flat("a.png", {90, 90, 90}));
    ASSERT_EQ(run.status, 0) << run.errors;

    const std::vector<std::int16_t> music = decode_sound(show() + "/data/sfx/lumo.mp3");
    EXPECT_NEAR(seconds_of(music), 10.0, 0.05);
    EXPECT_NEAR(rms(music, 5, 6), k_tone_rms, 0.05 * k_tone_rms);
    EXPECT_NEAR(rms(music, 9.8, 9.95), k_tone_rms, 0.05 * k_tone_rms) << "still loud at its end";
}

// Colours far apart: each channel one of three levels, by the digits of i in base 3.
Rgb distinct_colour(int i)
{
    const int levels[3] = {30, 140, 240};
    return {levels[i % 3], levels[i / 3 % 3], levels[i / 9 % 3]};
}

TEST_F(ImportTest, FewerPicturesAreReusedInOrderWithTheDefaultTextureAndMusic)
{
    std::string arguments = show();
    for (int i = 0; i < 5; ++i)
        arguments += ' ' + flat(std::to_string(i) + ".png", distinct_colour(i));
    const ImportRun run = import(arguments);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "velmorastik-import: 5 pictures for the show's 12 places: reused in order\n");

    for (int place = 0; place < 12; ++place)
        EXPECT_TRUE(colour_near(mean_colour(picture_at(k_picture_places[place]), 280, 200, 80, 80),
                                distinct_colour(place % 5), 4))
            << k_picture_places[place] << " holds picture " << place % 5;
    // Without --music and --texture, the build's own set's files.
    const std::string build_set = std::string(VELMORASTIK_BUILD_DATA_SET) + "/data/";
    for (const char* file : {"lumo.raw", "sfx/lumo.mp3"}) {
        const std::vector<std::uint8_t> copied = read_bytes(show() + "/data/" + file);
        EXPECT_GT(copied.size(), 100000u) << file;
        EXPECT_TRUE(copied == read_bytes(build_set + file)) << file;
    }
}

TEST_F(ImportTest, PicturesPastTwelveAreLeftOutByName)
{
    std::vector<std::string> pictures;
    std::string arguments = show();
    for (int i = 0; i < 14; ++i) {
        pictures.push_back(flat(std::to_string(i) + ".png", distinct_colour(i)));
        arguments += " " + pictures.back();
    }
    const ImportRun run = import(arguments);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "velmorastik-import: left out (the show has 12 places): " + pictures[12] +
                              "\nvelmorastik-import: left out (the show has 12 places): " + pictures[13] + "\n");

    for (int place = 0; place < 12; ++place)
        EXPECT_TRUE(
            colour_near(mean_colour(picture_at(k_picture_places[place]), 280, 200, 80, 80), distinct_colour(place), 4))
            << k_picture_places[place] << " holds picture " << place;
}

TEST_F(ImportTest, BrokenPictureFailsNamingItAndLeavesNothing)
{
    const std::string good = flat("good.png", {200, 60, 60});
    // A real photo's first half: its file ends in the middle of the scan.
    Picture photo(1280, 960);
    for (int y = 0; y < 960; ++y)
        for (int x = 0; x < 1280; ++x) {
            std::uint8_t* p = photo.at(x, y);
            p[0] = static_cast<std::uint8_t>(x * 7);
            p[1] = static_cast<std::uint8_t>(y * 5);
            p[2] = 90;
        }
    ASSERT_TRUE(save_picture(photo, in("whole.jpg")));
    std::vector<std::uint8_t> half = read_bytes(in("whole.jpg"));
    half.resize(half.size() / 2);
    ASSERT_TRUE(output_write_whole(in("truncated.jpg"), half));
    const std::string text = "not a picture\n";
    ASSERT_TRUE(output_write_whole(in("notes.png"), std::vector<std::uint8_t>(text.begin(), text.end())));

    // Into an existing folder, which keeps only what it held.
    std::filesystem::create_directory(show());
    ASSERT_TRUE(output_write_whole(show() + "/keep.txt", {'k'}));
    const std::string prefix = "velmorastik-import: cannot read the picture: ";
    for (const char* broken : {"truncated.jpg", "notes.png"}) {
        const ImportRun run = import(show() + " " + good + " " + in(broken));
        EXPECT_EQ(run.status, 2) << broken;
        const std::string note = "velmorastik-import: 2 pictures for the show's 12 places: reused in order\n";
        ASSERT_EQ(run.errors.rfind(note, 0), 0u) << run.errors;
        const std::string failure = run.errors.substr(note.size());
        EXPECT_EQ(failure.rfind(prefix + in(broken) + ": ", 0), 0u) << failure;
        EXPECT_GT(failure.size(), prefix.size() + in(broken).size() + 3) << "a reason follows: " << failure;
        EXPECT_EQ(failure.find('\n'), failure.size() - 1) << "one line: " << failure;
        EXPECT_EQ(names_in(show()), std::vector<std::string>{"keep.txt"});
    }
    // A broken texture or music fails the same way, after the pictures are read.
    const std::string notes = in("notes.png");
    const std::string one_note = "velmorastik-import: 1 picture for the show's 12 places: reused in order\n";
    for (const char* option : {"texture", "music"}) {
        const ImportRun run = import(std::string("--") + option + " " + notes + " " + show() + " " + good);
        EXPECT_EQ(run.status, 2) << option;
        EXPECT_EQ(run.errors.rfind(one_note + "velmorastik-import: cannot read the " + option + ": " + notes + ": ", 0),
                  0u)
            << run.errors;
        EXPECT_EQ(names_in(show()), std::vector<std::string>{"keep.txt"});
    }
    // Into a new folder, which is not made.
    const ImportRun run = import(in("new") + " " + in("notes.png"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.errors.find(prefix + in("notes.png") + ": "), std::string::npos) << run.errors;
    EXPECT_FALSE(std::filesystem::exists(in("new")));
}

TEST_F(ImportTest, ExistingSetIsKeptWithoutForceAndReplacedWithIt)
{
    const std::string red = flat("red.png", {220, 30, 30});
    const std::string blue = flat("blue.png", {30, 30, 220});
    // A person's own folders whose names look like a killed run's leftovers are theirs to keep.
    const std::vector<std::string> own = {".data-new-photos", ".data-new-photos-old"};
    for (const std::string& name : own) {
        std::filesystem::create_directories(show() + "/" + name);
        ASSERT_TRUE(output_write_whole(show() + "/" + name + "/p", {'x'}));
    }
    ImportRun run = import(show() + " " + red);
    ASSERT_EQ(run.status, 0) << run.errors;
    const auto before = files_under(show() + "/data");
    ASSERT_EQ(before.size(), 14u) << "12 pictures, the texture and the music";

    run = import(show() + " " + blue);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.errors, "velmorastik-import: cannot replace without --force: " + show() + "/data: File exists\n");
    EXPECT_TRUE(files_under(show() + "/data") == before) << "the old set unchanged, byte for byte";
    EXPECT_EQ(names_in(show()), (std::vector<std::string>{".data-new-photos", ".data-new-photos-old", "data"}));

    run = import("--force " + show() + " " + blue);
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(names_in(show()), (std::vector<std::string>{".data-new-photos", ".data-new-photos-old", "data"}))
        << "no staging or old set left beside it";
    for (const std::string& name : own)
        EXPECT_EQ(read_bytes(show() + "/" + name + "/p"), std::vector<std::uint8_t>{'x'}) << name;
    const auto after = files_under(show() + "/data");
    EXPECT_EQ(after.size(), 14u);
    for (const std::string& place : k_picture_places)
        EXPECT_TRUE(colour_near(mean_colour(picture_at(place), 280, 200, 80, 80), {30, 30, 220}, 4)) << place;
}

TEST_F(ImportTest, UsageErrorsExitWith64AndMakeNothing)
{
    const std::string picture = flat("a.png", {90, 90, 90});
    const std::string wrong[] = {
        "",
        show(),
        "--fit stretch " + show() + " " + picture,
        "--music-start -1 " + show() + " " + picture,
        "--music-start 2s " + show() + " " + picture,
        "--bogus " + show() + " " + picture,
        "--music",
    };
    for (const std::string& arguments : wrong) {
        const ImportRun run = import(arguments);
        EXPECT_EQ(run.status, 64) << arguments;
        EXPECT_EQ(run.errors.rfind("velmorastik-import: ", 0), 0u) << arguments << ": " << run.errors;
        EXPECT_NE(run.errors.find("\nusage: velmorastik-import "), std::string::npos) << arguments;
    }
    EXPECT_EQ(names_in(folder_.path()), std::vector<std::string>{"a.png"});
}

TEST_F(ImportTest, ImportedSetPlaysThroughTheCapture)
{
    // Progressive, grey, very wide and very tall: each comes out 640x480 baseline RGB.
    Picture landscape(1024, 768);
    landscape.fill(0, 0, 1024, 768, {200, 150, 100});
    ASSERT_TRUE(save_picture(landscape, in("progressive.jpg[interlace]")));
    Picture grey(300, 500, 1);
    grey.fill(0, 0, 300, 500, {120});
    ASSERT_TRUE(save_picture(grey, in("grey.jpg")));
    const std::string wide = flat("wide.png", {20, 180, 90}, 2000, 300);
    const std::string tall = flat("tall.webp", {180, 20, 90}, 100, 1500);

    for (const char* fit : {"contain", "cover"}) {
        const std::string set = in(fit);
        const ImportRun run = import(std::string("--fit ") + fit + " " + set + " " + in("progressive.jpg") + " " +
                                     in("grey.jpg") + " " + wide + " " + tall);
        ASSERT_EQ(run.status, 0) << run.errors;
        for (const std::string& place : k_picture_places) {
            const std::vector<std::uint8_t> jpeg = read_bytes(set + "/data/" + place);
            const ReferenceImage image = decode_reference(jpeg);
            EXPECT_EQ(image.width, 640) << fit << " " << place;
            EXPECT_EQ(image.height, 480) << fit << " " << place;
            EXPECT_EQ(image.components, 3) << fit << " " << place;
            EXPECT_TRUE(is_baseline_jpeg(jpeg)) << fit << " " << place;
        }
        const CommandRun capture = run_command(std::string(VELMORASTIK_CAPTURE) + " -C " + set + " 2>" +
                                               in("capture.log"));
        EXPECT_EQ(capture.status, 0);
        EXPECT_EQ(capture.output, "frames: " + std::to_string(k_show_frames) + "\n");
        const std::vector<std::uint8_t> log = read_bytes(in("capture.log"));
        EXPECT_EQ(std::string(log.begin(), log.end()), "") << "no note on any picture's size";
    }
}

}  // namespace
