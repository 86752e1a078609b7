// The soundtrack's fade, sample by sample: music as long as the show ends along a quarter sine,
// from the music as it is just before the fade to exactly 0 at its last frame.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "soundtrack.h"

namespace {

// The fade's gain at its frame i of n: a quarter sine from 1, just before frame 0, to 0 at n - 1.
double fade_gain(std::size_t i, std::size_t n)
{
    return std::sin(std::numbers::pi / 2 * static_cast<double>(n - 1 - i) / static_cast<double>(n));
}

}  // namespace

TEST(Soundtrack, AFadeOfFourFramesStepsDownAQuarterSineToZero)
{
    // Left and right apart, so that a swap or a channel left out shows.
    std::vector<std::int16_t> music;
    for (int frame = 0; frame < 6; ++frame)
        music.insert(music.end(), {10000, -20000});
    fade_out(music, 4);
    // sin(3/8 pi) = 0.92388, sin(2/8 pi) = 0.70711, sin(1/8 pi) = 0.38268, sin(0) = 0.
    const std::vector<std::int16_t> expected = {10000, -20000, 10000, -20000, 9239, -18478,
                                                7071,  -14142, 3827,  -7654,  0,    0};
    EXPECT_EQ(music, expected);
}

// Music cut to the show's length, 7067 frames at 60 fps of 735 samples each, fades over its last
// 5.1 s and nowhere else.
TEST(Soundtrack, MusicAsLongAsTheShowFadesOverItsLastFiveSecondsToTheSample)
{
    constexpr std::size_t k_frames = 7067 * 735;
    constexpr std::size_t k_fade = 224910;  // 5.1 s at 44.1 kHz
    constexpr double k_left = 30000;
    constexpr double k_right = -25000;
    std::vector<std::int16_t> music;
    music.reserve(2 * k_frames);
    for (std::size_t frame = 0; frame < k_frames; ++frame)
        music.insert(music.end(), {static_cast<std::int16_t>(k_left), static_cast<std::int16_t>(k_right)});
    ASSERT_EQ(show_music_frames(), k_frames);
    ASSERT_TRUE(end_with_show(music, show_music_frames())) << "music as long as the show fades";

    const std::size_t first = k_frames - k_fade;
    EXPECT_EQ(music[2 * (first - 1)], k_left) << "the frame before the fade is untouched";
    EXPECT_EQ(music[2 * (first - 1) + 1], k_right);
    // Every frame of the fade, to its last at 0: off by one frame anywhere, about a fifth of them
    // round otherwise.
    std::size_t wrong = 0;
    std::size_t first_wrong = 0;
    for (std::size_t i = 0; i < k_fade; ++i) {
        const double gain = fade_gain(i, k_fade);
        if ((music[2 * (first + i)] != std::lround(k_left * gain) ||
             music[2 * (first + i) + 1] != std::lround(k_right * gain)) &&
            wrong++ == 0)
            first_wrong = i;
    }
    EXPECT_EQ(wrong, 0u) << "frames off the quarter sine, the first at " << first_wrong << " of the fade";
    EXPECT_EQ(music[2 * (first + k_fade / 2)], 21213) << "the middle, 30000 sin(pi/4 - pi/(2 * 224910))";
}
