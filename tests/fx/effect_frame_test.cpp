#include <gtest/gtest.h>

#include <vector>

#include "fx/dot_table.h"
#include "fx/effect.h"
#include "fx/effect_frame.h"
#include "fx/effect_kernels.h"
#include "fx/frame.h"
#include "fx/show_frame.h"
#include "oracle_frame.h"

namespace {

std::uint32_t next_random(std::uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state ^ state >> 15;
}

// The effect's globals as effect_init leaves them, with a texture of noise and either the real
// table or one of noise, where every borrow between the entries' bytes happens; the frames are
// held to the plain definition (tests/oracle/).
class EffectFrameTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(effect_build_tables(k_frame_width, k_frame_height));
        std::uint32_t state = 7;
        for (std::uint32_t& texel : g_effect_texture)
            texel = next_random(state) & 0x00FFFFFFu;
        g_virtual_backbuffer = allocate_frame();
        ASSERT_NE(g_virtual_backbuffer, nullptr);
        for (std::size_t i = 0; i < k_frame_pixels; ++i)
            picture_.pixels[i] = next_random(state) | 0xFF000000u;
    }
    void TearDown() override
    {
        free_frame(g_virtual_backbuffer);
        g_virtual_backbuffer = nullptr;
        effect_release_tables();
    }

    static void use_noise_table()
    {
        std::uint32_t state = 99;
        for (std::size_t i = 0; i < 4 * k_frame_pixels; ++i)
            g_polar_table[i] = static_cast<std::uint16_t>(next_random(state));
        ASSERT_TRUE(build_dot_table());
    }

    // Every supported row kernel gives the defined frame over a backbuffer full of another one,
    // and the same scroll after it.
    void expect_every_kernel_matches(const EffectWindows& w, std::uint16_t scroll, std::uint32_t amount)
    {
        const std::uint16_t scroll_after = oracle_effect_frame(defined_, picture_, amount, w, scroll);
        const std::uint32_t* expected = defined_.pixels;
        for (const EffectRowKernelInfo& kernel : effect_row_kernels()) {
            if (!kernel.supported)
                continue;
            std::fill(g_virtual_backbuffer->pixels, g_virtual_backbuffer->pixels + k_frame_pixels, 0xA5A5A5A5u);
            g_effect_scroll = scroll;
            compose_effect_frame(picture_, w, amount, -1, kernel.run);
            for (std::size_t i = 0; i < k_frame_pixels; ++i)
                ASSERT_EQ(g_virtual_backbuffer->pixels[i], expected[i])
                    << kernel.name << ": windows (" << w.a_column << ", " << w.a_row << ") and (" << w.b_column << ", "
                    << w.b_row << "), scroll " << scroll << ", amount " << amount << ", pixel " << i % k_frame_width
                    << " of row " << i / k_frame_width;
            ASSERT_EQ(g_effect_scroll, scroll_after) << kernel.name;
        }
    }

    Frame32 picture_;
    Frame32 defined_;
};

TEST_F(EffectFrameTest, EveryKernelMatchesTheDefinitionWithTheWindowsAtTheTablesEdges)
{
    // Every corner and edge of the range the windows may take, in all nine groups of the
    // regrouped table: row and column each at 0, 1, 2 and at the far edge and the two before it.
    use_noise_table();
    const int columns[] = {0, 1, 2, 638, 639, 640};
    const int rows[] = {0, 1, 2, 478, 479, 480};
    int frame = 0;
    for (int a_column : columns)
        for (int a_row : rows) {
            const EffectWindows w{a_column, a_row, 640 - a_column, 480 - a_row};
            expect_every_kernel_matches(w, static_cast<std::uint16_t>(frame * 0x0501), 17u * frame);
            if (HasFatalFailure())
                return;
            ++frame;
        }
}

TEST_F(EffectFrameTest, EveryKernelMatchesTheDefinitionAtManyWindowsScrollsAndAmounts)
{
    std::uint32_t state = 2024;
    for (bool noise : {false, true}) {
        if (noise)
            use_noise_table();
        for (int n = 0; n < 40; ++n) {
            const EffectWindows w{
                static_cast<int>(next_random(state) % 641), static_cast<int>(next_random(state) % 481),
                static_cast<int>(next_random(state) % 641), static_cast<int>(next_random(state) % 481)};
            const std::uint16_t scrolls[] = {0,      1,      0x7FFF,
                                             0x8000, 0xFFFF, static_cast<std::uint16_t>(next_random(state))};
            const std::uint32_t amounts[] = {0, 1, 128, 254, 255, 256 + 40, next_random(state)};
            expect_every_kernel_matches(w, scrolls[n % 6], amounts[n % 7]);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST_F(EffectFrameTest, AFrameHeldIsFadedFurtherOnlyWhenTheAmountIsNotBelowIt)
{
    // The frame before, at held, has other windows and another scroll: only its rows without dots
    // may be kept, and only where the new amount is at least held.
    use_noise_table();
    const EffectWindows before{100, 200, 300, 50};
    const EffectWindows now{640, 480, 0, 1};
    struct Case {
        std::uint32_t held;
        std::uint32_t amount;
    };
    for (const Case c : {Case{0, 0}, Case{0, 1}, Case{40, 40}, Case{40, 41}, Case{40, 255}, Case{254, 255},
                         Case{255, 255}, Case{41, 40}, Case{255, 0}}) {
        oracle_effect_frame(defined_, picture_, c.amount, now, 0x1234);
        for (const EffectRowKernelInfo& kernel : effect_row_kernels()) {
            if (!kernel.supported)
                continue;
            g_effect_scroll = 0x4321;
            compose_effect_frame(picture_, before, c.held, -1, kernel.run);
            g_effect_scroll = 0x1234;
            compose_effect_frame(picture_, now, c.amount, static_cast<int>(c.held), kernel.run);
            ASSERT_TRUE(std::equal(defined_.pixels, defined_.pixels + k_frame_pixels, g_virtual_backbuffer->pixels))
                << kernel.name << ": held " << c.held << ", amount " << c.amount;
        }
    }
}

TEST_F(EffectFrameTest, DrawEffectFrameIsCopyDrawFadeFrameAfterFrame)
{
    // As the show runs them: the windows from the angle, the scroll carried from frame to frame
    // and wrapping. 0.39383 is an angle where single-precision rounding decides window B's row.
    const double angles[] = {0.0, 0.39383, 1.0, 2.5, 3.14159, 4.0, 5.5, 100.0};
    std::uint16_t scroll = 0xF000;
    for (int frame = 0; frame < 160; ++frame) {
        const double angle = angles[frame % 8] + frame * 0.033;
        const std::uint32_t amount = static_cast<std::uint32_t>(frame * 3 % 256);
        ASSERT_EQ(oracle_show_frame(defined_, picture_, amount, angle, scroll),
                  static_cast<std::uint16_t>(scroll + 0x0501));

        g_effect_scroll = scroll;
        draw_effect_frame(picture_, angle, amount, -1);
        ASSERT_TRUE(std::equal(defined_.pixels, defined_.pixels + k_frame_pixels, g_virtual_backbuffer->pixels))
            << "frame " << frame;
        ASSERT_EQ(g_effect_scroll, static_cast<std::uint16_t>(scroll + 0x0501)) << "one step per frame";
        scroll = g_effect_scroll;
    }
    EXPECT_EQ(scroll, static_cast<std::uint16_t>(0xF000 + 160 * 0x0501)) << "wrapped past 65,535";
}

TEST_F(EffectFrameTest, ShowFramesAreTheDefinedFramesWhateverTheBackbufferHeld)
{
    // Each step's frame against the plain definition's, made in a frame of its own: the same
    // amount again, further, back, the effect on and off at one amount, another picture, and a
    // picture written anew in place, as the loader does between fades.
    static Frame32 other;
    std::uint32_t state = 11;
    for (std::uint32_t& pixel : other.pixels)
        pixel = next_random(state) | 0xFF000000u;
    struct Step {
        const Frame32* picture;
        std::uint32_t amount;
        double angle;
        bool rewrite_first;  // the picture written anew before the frame
    };
    const double none = k_no_effect;
    const Step steps[] = {
        {&picture_, 0, none, false},   {&picture_, 0, none, false},   {&picture_, 40, none, false},
        {&picture_, 200, none, false}, {&picture_, 100, none, false}, {&picture_, 100, 0.5, false},
        {&picture_, 120, 0.6, false},  {&picture_, 120, 0.7, false},  {&picture_, 90, 0.8, false},
        {&picture_, 90, none, false},  {&other, 90, none, false},     {&other, 255, none, false},
        {&other, 255, 1.0, false},     {&picture_, 255, 1.1, false},  {&picture_, 50, none, false},
        {&picture_, 60, none, true},   {&picture_, 70, 1.2, false},   {&picture_, 80, 1.3, true},
    };
    forget_held_frame();
    std::uint16_t scroll = 0x1234;
    int index = 0;
    for (const Step& step : steps) {
        if (step.rewrite_first) {
            for (std::uint32_t& pixel : picture_.pixels)
                pixel = next_random(state) | 0xFF000000u;
            forget_held_frame();
        }
        const std::uint16_t scroll_after = oracle_show_frame(defined_, *step.picture, step.amount, step.angle, scroll);

        g_effect_scroll = scroll;
        draw_show_frame(*step.picture, step.amount, step.angle);
        ASSERT_TRUE(std::equal(defined_.pixels, defined_.pixels + k_frame_pixels, g_virtual_backbuffer->pixels))
            << "step " << index;
        ASSERT_EQ(g_effect_scroll, scroll_after) << "step " << index;
        scroll = scroll_after;
        ++index;
    }
    forget_held_frame();
}

TEST_F(EffectFrameTest, RowKernelsMatchTheDefinitionForEveryLengthAndLeaveThePictureAlone)
{
    // Lengths that end anywhere in a kernel's stride, and longer than any scratch row of one.
    use_noise_table();
    std::uint32_t state = 5;
    std::vector<std::uint32_t> source(2000);
    for (std::uint32_t& pixel : source)
        pixel = next_random(state);
    const std::vector<std::uint32_t> original = source;
    std::vector<std::uint16_t> a(700), b(700);
    for (std::size_t k = 0; k < a.size(); ++k) {
        a[k] = static_cast<std::uint16_t>(next_random(state));
        b[k] = static_cast<std::uint16_t>(next_random(state));
    }
    int tested = 0;
    for (const EffectRowKernelInfo& kernel : effect_row_kernels()) {
        if (!kernel.supported) {
            std::printf("kernel %s: not supported on this processor, skipped\n", kernel.name);
            continue;
        }
        ++tested;
        for (std::size_t count :
             {0u, 1u, 2u, 3u, 23u, 24u, 25u, 47u, 48u, 49u, 639u, 640u, 641u, 767u, 768u, 769u, 2000u}) {
            const auto level = static_cast<std::uint8_t>(count * 37);
            const EffectRow row{a.data(), b.data(), static_cast<std::uint16_t>(count * 1281)};
            std::vector<std::uint32_t> target(source.size() + 1, 0xDEADBEEF);
            kernel.run(source.data(), target.data(), count, row, level);
            for (std::size_t j = 0; j < count; ++j) {
                const std::uint32_t drawn = j % 3 == 0 ? oracle_dot(source[j], a[j / 3], b[j / 3], row.scroll)
                                                       : source[j];
                ASSERT_EQ(target[j], oracle_fade_pixel(drawn, level))
                    << kernel.name << ": " << count << " pixels, pixel " << j;
            }
            ASSERT_EQ(target[count], 0xDEADBEEFu) << kernel.name << ": nothing written past the row";
            ASSERT_EQ(source, original) << kernel.name;
        }
    }
    EXPECT_GE(tested, 1);
}

TEST_F(EffectFrameTest, TheChosenRowKernelIsTheWidestSupported)
{
    for (const EffectRowKernelInfo& kernel : effect_row_kernels())
        if (kernel.supported) {
            EXPECT_EQ(best_effect_row_kernel(), kernel.run) << kernel.name;
            break;
        }
    EXPECT_TRUE(effect_row_kernels().back().supported) << "the last one runs anywhere";
}

}  // namespace
