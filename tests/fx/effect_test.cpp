#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numbers>
#include <vector>

#include "fx/dot_table.h"
#include "fx/effect.h"
#include "fx/effect_frame.h"
#include "fx/frame.h"
#include "oracle_frame.h"

namespace {

// A texture file's bytes whose texel i is red, green, blue = i, i >> 8, 7.
std::vector<std::uint8_t> counting_texture()
{
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < k_texture_texels; ++i)
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 7});
    return bytes;
}

// The effect made from the counting texture, with a fresh virtual backbuffer.
class EffectTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_virtual_backbuffer = allocate_frame();
        ASSERT_NE(g_virtual_backbuffer, nullptr);
        // What an earlier test left in the effect's globals must not show here.
        g_effect_scroll = 0x1234;
        std::fill(std::begin(g_effect_texture), std::end(g_effect_texture), 0xDEADBEEFu);
        ASSERT_TRUE(effect_init(640, 480, counting_texture()));
    }
    void TearDown() override
    {
        effect_release_tables();
        free_frame(g_virtual_backbuffer);
        g_virtual_backbuffer = nullptr;
    }

    // (distance code, angle code) of the plane point (x, y).
    static std::pair<int, int> codes(int x, int y)
    {
        const std::uint16_t entry = g_polar_table[(480 - y) * 1280 + (x + 640)];
        return {entry & 0xFF, entry >> 8};
    }

    static std::uint32_t* pixels() { return g_virtual_backbuffer->pixels; }

    static Frame32 black_;
};

Frame32 EffectTest::black_;

TEST_F(EffectTest, InitStoresTheGeometryAndTheTexture)
{
    EXPECT_EQ(g_effect_width, 640);
    EXPECT_EQ(g_effect_height, 480);
    EXPECT_EQ(g_effect_centre_x, 320);
    EXPECT_EQ(g_effect_centre_y, 240);
    EXPECT_EQ(g_polar_stride, 1280);
    EXPECT_EQ(g_effect_scroll, 0);
    EXPECT_EQ(g_effect_texture[0], 0x00000007u);
    EXPECT_EQ(g_effect_texture[0x1234], 0x00341207u) << "red, green, blue in file order";
}

TEST(EffectTexture, MissingBytesReadAsWhiteAndBytesPastATextureAreIgnored)
{
    set_effect_texture(std::vector<std::uint8_t>(196607, 0x10));
    EXPECT_EQ(g_effect_texture[65534], 0x00101010u);
    EXPECT_EQ(g_effect_texture[65535], 0x001010FFu) << "the last blue byte is missing";

    set_effect_texture({});
    for (std::uint32_t texel : g_effect_texture)
        ASSERT_EQ(texel, 0x00FFFFFFu);

    std::vector<std::uint8_t> longer(196608 + 10, 0x20);
    std::fill(longer.begin() + 196608, longer.end(), 0x99);
    set_effect_texture(longer);
    EXPECT_EQ(g_effect_texture[0], 0x00202020u);
    EXPECT_EQ(g_effect_texture[65535], 0x00202020u);
}

TEST_F(EffectTest, TableEntries)
{
    using Codes = std::pair<int, int>;
    EXPECT_EQ(codes(0, 0), Codes(0, 0));
    EXPECT_EQ(codes(100, 0), Codes(213, 0));
    EXPECT_EQ(codes(-100, 0), Codes(213, 0)) << "on the negative x axis the angle wraps to 0";
    EXPECT_EQ(codes(0, 100), Codes(251, 128));
    EXPECT_EQ(codes(0, 1), Codes(0, 128));
    EXPECT_EQ(codes(0, -1), Codes(0, 128)) << "s is negative";
    EXPECT_EQ(codes(0, -100), Codes(0, 128)) << "s is negative";
    EXPECT_EQ(codes(10, 10), Codes(252, 37));
    EXPECT_EQ(codes(-1, -1), Codes(0, 38));
    EXPECT_EQ(codes(-640, 480), Codes(232, 226)) << "the first entry";
    EXPECT_EQ(g_polar_table[0], 232 | 226 << 8);
    EXPECT_EQ(codes(639, -479), Codes(233, 227)) << "the last entry";
    EXPECT_EQ(g_polar_table[1280 * 960 - 1], 233 | 227 << 8);
}

TEST_F(EffectTest, DistanceIsZeroWhereverSIsNegative)
{
    int negative = 0;
    for (int y = -479; y <= 480; ++y)
        for (int x = -640; x <= 639; ++x)
            if (2 * x * x + 3 * y < 0) {
                ++negative;
                ASSERT_EQ(codes(x, y).first, 0) << "x " << x << " y " << y;
            }
    EXPECT_EQ(negative, 17143);
}

TEST_F(EffectTest, IndexIsOneSixteenBitSubtractionInEveryKernel)
{
    // Window A over a region of 0x25FC entries, window B over one of 0x80D5, scroll 1,281:
    // index 0x80D5 - 0x25FC - 0x0501 = 0x55D8, texture row 85, column 216, halved over black.
    for (int r = 0; r < 960; ++r)
        for (int k = 0; k < 1280; ++k)
            g_polar_table[r * 1280 + k] = r < 480 && k < 640 ? 0x25FC : 0x80D5;
    ASSERT_TRUE(build_dot_table());
    EXPECT_EQ(g_effect_texture[0x55D8], 0x00D85507u);
    for (const EffectRowKernelInfo& kernel : effect_row_kernels()) {
        if (!kernel.supported)
            continue;
        g_effect_scroll = 1281;
        compose_effect_frame(black_, {0, 0, 640, 480}, 0, -1, kernel.run);
        EXPECT_EQ(pixels()[0], 0x006C2A03u) << kernel.name;
        EXPECT_EQ(pixels()[477 * 640 + 639], 0x006C2A03u) << kernel.name << ": the last dot";
        EXPECT_EQ(pixels()[477 * 640 + 638], 0u) << kernel.name << ": not a dot";
        EXPECT_EQ(g_effect_scroll, 2562) << kernel.name;
    }
}

TEST_F(EffectTest, ScrollAdvancesByOneStepPerFrame)
{
    // Identical windows: every dot takes texel (0 - scroll) mod 65,536.
    for (int n = 1; n <= 60; ++n) {
        const std::uint16_t scroll = static_cast<std::uint16_t>(1281 * (n - 1));
        ASSERT_EQ(g_effect_scroll, scroll) << "frame " << n;
        compose_effect_frame(black_, {200, 100, 200, 100}, 0, -1, best_effect_row_kernel());
        const std::uint16_t index = static_cast<std::uint16_t>(0 - scroll);
        ASSERT_EQ(pixels()[3 * 640 + 3], blend_half(0, g_effect_texture[index])) << "frame " << n;
    }
    EXPECT_EQ(g_effect_scroll, static_cast<std::uint16_t>(1281 * 60));
}

// The plain definition's dots, against the product's own blend.
TEST_F(EffectTest, TheDefinitionBlendsOnlyEveryThirdPixelOfEveryThirdRow)
{
    for (std::size_t i = 0; i < k_frame_pixels; ++i)
        pixels()[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    std::vector<std::uint32_t> before(pixels(), pixels() + k_frame_pixels);
    oracle_draw_effect(*g_virtual_backbuffer, {320, 240, 404, 330}, 0);

    int touched = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * 640 + x;
            if (y % 3 != 0 || x % 3 != 0) {
                ASSERT_EQ(pixels()[i], before[i]) << "x " << x << " y " << y;
                continue;
            }
            ++touched;
            const std::uint16_t a = g_polar_table[(240 + y) * 1280 + 320 + x];
            const std::uint16_t b = g_polar_table[(330 + y) * 1280 + 404 + x];
            const std::uint16_t index = static_cast<std::uint16_t>(b - a);
            ASSERT_EQ(pixels()[i], blend_half(before[i], g_effect_texture[index])) << "x " << x << " y " << y;
        }
    EXPECT_EQ(touched, 34240);
}

TEST_F(EffectTest, WindowsArePlacedFromTheAngle)
{
    const auto placed = [](double angle) {
        const EffectWindows w = effect_windows(angle);
        return std::array<int, 4>{w.a_column, w.a_row, w.b_column, w.b_row};
    };
    EXPECT_EQ(placed(0.0), (std::array<int, 4>{320, 241, 404, 330}));
    EXPECT_EQ(placed(std::numbers::pi / 2), (std::array<int, 4>{420, 339, 374, 198}));
    // At 0.39383 window B's row is 307.99999... with angle + 2 rounded to single precision
    // first, 308.0000014 without: the rounding decides the row.
    EXPECT_EQ(placed(0.39383), (std::array<int, 4>{358, 280, 418, 307}));
}

}  // namespace
