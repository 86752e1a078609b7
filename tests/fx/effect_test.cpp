#include <gtest/gtest.h>

#include "death_tests.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <vector>

#include "fx/dot_table.h"
#include "fx/effect.h"
#include "fx/frame.h"
#include "temp_dir.h"

namespace {

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

// Runs in a directory of its own holding data/lumo.raw, with a fresh virtual backbuffer.
class EffectTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(previous_directory_, sizeof previous_directory_), nullptr);
        ASSERT_EQ(chdir(directory_.path().c_str()), 0);
        ASSERT_TRUE(std::filesystem::create_directory("data"));
        g_virtual_backbuffer = allocate_frame();
        ASSERT_NE(g_virtual_backbuffer, nullptr);
        // What an earlier test left in the effect's globals must not show here.
        g_effect_scroll = 0;
        std::fill(std::begin(g_effect_texture), std::end(g_effect_texture), 0xDEADBEEFu);
    }
    void TearDown() override
    {
        effect_release_tables();
        free_frame(g_virtual_backbuffer);
        g_virtual_backbuffer = nullptr;
        ASSERT_EQ(chdir(previous_directory_), 0);
    }

    // A texture whose texel i is 3 * i bytes into the file: red, green, blue = i, i >> 8, 7.
    void init_with_counting_texture()
    {
        std::vector<std::uint8_t> bytes;
        for (int i = 0; i < k_texture_texels; ++i)
            bytes.insert(bytes.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 7});
        write_bytes(k_texture_path, bytes);
        effect_init(640, 480);
    }

    // (distance code, angle code) of the plane point (x, y).
    static std::pair<int, int> codes(int x, int y)
    {
        const std::uint16_t entry = g_polar_table[(480 - y) * 1280 + (x + 640)];
        return {entry & 0xFF, entry >> 8};
    }

    static std::uint32_t* pixels() { return g_virtual_backbuffer->pixels; }

    TempDir directory_;
    char previous_directory_[4096];
};

TEST_F(EffectTest, InitStoresTheGeometry)
{
    init_with_counting_texture();
    EXPECT_EQ(g_effect_width, 640);
    EXPECT_EQ(g_effect_height, 480);
    EXPECT_EQ(g_effect_centre_x, 320);
    EXPECT_EQ(g_effect_centre_y, 240);
    EXPECT_EQ(g_polar_stride, 1280);
    EXPECT_EQ(g_effect_scroll, 0);
    EXPECT_EQ(g_effect_texture[0], 0x00000007u);
    EXPECT_EQ(g_effect_texture[0x1234], 0x00341207u) << "red, green, blue in file order";
}

TEST_F(EffectTest, TableEntries)
{
    init_with_counting_texture();
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
    init_with_counting_texture();
    int negative = 0;
    for (int y = -479; y <= 480; ++y)
        for (int x = -640; x <= 639; ++x)
            if (2 * x * x + 3 * y < 0) {
                ++negative;
                ASSERT_EQ(codes(x, y).first, 0) << "x " << x << " y " << y;
            }
    EXPECT_EQ(negative, 17143);
}

TEST_F(EffectTest, IndexIsOneSixteenBitSubtraction)
{
    init_with_counting_texture();
    // Window A over a region of 0x25FC entries, window B over one of 0x80D5, scroll 1,281:
    // index 0x80D5 - 0x25FC - 0x0501 = 0x55D8, texture row 85, column 216.
    for (int r = 0; r < 960; ++r)
        for (int k = 0; k < 1280; ++k)
            g_polar_table[r * 1280 + k] = r < 480 && k < 640 ? 0x25FC : 0x80D5;
    g_effect_scroll = 1281;
    render_interference(0, 0, 640, 480);
    EXPECT_EQ(g_effect_texture[0x55D8], 0x00D85507u);
    EXPECT_EQ(pixels()[0], blend_half(0, 0x00D85507u));
    EXPECT_EQ(pixels()[477 * 640 + 639], blend_half(0, 0x00D85507u));
    EXPECT_EQ(g_effect_scroll, 2562);
}

TEST_F(EffectTest, ScrollAdvancesByOneStepPerRender)
{
    init_with_counting_texture();
    // Identical windows: every touched pixel takes texel (0 - scroll) mod 65,536.
    for (int n = 1; n <= 60; ++n) {
        std::memset(pixels(), 0, k_frame_bytes);
        const std::uint16_t scroll = static_cast<std::uint16_t>(1281 * (n - 1));
        ASSERT_EQ(g_effect_scroll, scroll) << "render " << n;
        render_interference(200, 100, 200, 100);
        const std::uint16_t index = static_cast<std::uint16_t>(0 - scroll);
        ASSERT_EQ(pixels()[3 * 640 + 3], blend_half(0, g_effect_texture[index])) << "render " << n;
    }
    EXPECT_EQ(g_effect_scroll, static_cast<std::uint16_t>(1281 * 60));
}

TEST_F(EffectTest, BlendsOnlyEveryThirdPixelOfEveryThirdRow)
{
    init_with_counting_texture();
    for (std::size_t i = 0; i < k_frame_pixels; ++i)
        pixels()[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    std::vector<std::uint32_t> before(pixels(), pixels() + k_frame_pixels);
    render_interference(320, 240, 404, 330);

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

TEST_F(EffectTest, DrawPlacesTheWindowsFromTheAngle)
{
    init_with_counting_texture();
    auto frame_of = [&](auto draw) {
        std::memset(pixels(), 0, k_frame_bytes);
        g_effect_scroll = 0;
        draw();
        return std::vector<std::uint32_t>(pixels(), pixels() + k_frame_pixels);
    };
    const auto drawn_at_0 = frame_of([] { draw_effect(0.0); });
    EXPECT_EQ(drawn_at_0, frame_of([] { render_interference(320, 241, 404, 330); }));
    EXPECT_NE(drawn_at_0, frame_of([] { render_interference(320, 240, 404, 330); })) << "the comparison is sensitive";

    const auto drawn_at_half_pi = frame_of([] { draw_effect(std::numbers::pi / 2); });
    EXPECT_EQ(drawn_at_half_pi, frame_of([] { render_interference(420, 339, 374, 198); }));
    EXPECT_NE(drawn_at_half_pi, frame_of([] { render_interference(420, 339, 374, 199); }));

    // At 0.39383 window B's row is 307.99999... with angle + 2 rounded to single precision
    // first, 308.0000014 without: the rounding decides the row.
    const auto drawn_on_the_edge = frame_of([] { draw_effect(0.39383); });
    EXPECT_EQ(drawn_on_the_edge, frame_of([] { render_interference(358, 280, 418, 307); }));
    EXPECT_NE(drawn_on_the_edge, frame_of([] { render_interference(358, 280, 418, 308); }));
}

// A stream reading bytes, closed by the caller: in memory where the C library can (glibc's
// fmemopen), through a temporary file elsewhere.
std::FILE* stream_of(std::vector<std::uint8_t>& bytes)
{
#ifdef _WIN32
    std::FILE* file = std::tmpfile();
    if (file != nullptr &&
        (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fseek(file, 0, SEEK_SET) != 0)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
#else
    static char nothing = 0;
    return fmemopen(bytes.empty() ? static_cast<void*>(&nothing) : bytes.data(), bytes.size(), "rb");
#endif
}

TEST(EffectTexture, MissingBytesReadAsWhite)
{
    std::vector<std::uint8_t> bytes(196607, 0x10);
    std::FILE* short_file = stream_of(bytes);
    ASSERT_NE(short_file, nullptr);
    EXPECT_EQ(read_effect_texture(short_file), 196607) << "a short file is no error";
    std::fclose(short_file);
    EXPECT_EQ(g_effect_texture[65534], 0x00101010u);
    EXPECT_EQ(g_effect_texture[65535], 0x001010FFu) << "the last blue byte is missing";

    std::vector<std::uint8_t> nothing;
    std::FILE* empty = stream_of(nothing);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(read_effect_texture(empty), 0);
    std::fclose(empty);
    for (std::uint32_t texel : g_effect_texture)
        ASSERT_EQ(texel, 0x00FFFFFFu);
}

TEST(EffectTexture, ReadsNoMoreThanTheTexture)
{
    std::vector<std::uint8_t> bytes(196608 + 10, 0x20);
    std::FILE* file = stream_of(bytes);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(read_effect_texture(file), 196608);
    EXPECT_EQ(std::ftell(file), 196608);
    std::fclose(file);
}

TEST(EffectTexture, AReadErrorIsNotAnEndOfFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows' C library makes no stream of a test's own functions (glibc's fopencookie)";
#else
    // A stream that gives 1,000 bytes, then fails.
    cookie_io_functions_t failing{};
    failing.read = [](void* cookie, char* buffer, std::size_t size) -> ssize_t {
        auto* left = static_cast<std::size_t*>(cookie);
        if (*left == 0) {
            errno = EIO;
            return -1;
        }
        const std::size_t n = std::min(size, *left);
        std::memset(buffer, 0x10, n);
        *left -= n;
        return static_cast<ssize_t>(n);
    };
    std::size_t left = 1000;
    std::FILE* file = fopencookie(&left, "rb", failing);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(read_effect_texture(file), -1);
    EXPECT_EQ(errno, EIO);
    std::fclose(file);
#endif
}

TEST_F(EffectTest, MissingTextureEndsWithItsPathAndReason)
{
    EXPECT_EXIT(effect_init(640, 480), testing::ExitedWithCode(2),
                "cannot open data/lumo\\.raw: No such file or directory\nERROR LOCATING\\.\\.\\. data/lumo\\.raw");
}

TEST_F(EffectTest, TextureThatIsNotARegularFileEndsLikeAMissingOne)
{
    ASSERT_TRUE(std::filesystem::create_directory(k_texture_path));
    EXPECT_EXIT(effect_init(640, 480), testing::ExitedWithCode(2),
                "cannot open data/lumo\\.raw: not a regular file\nERROR LOCATING\\.\\.\\. data/lumo\\.raw");
}

TEST_F(EffectTest, ShortTextureIsFilledWithWhiteAndSaidInOneLine)
{
    write_bytes(k_texture_path, std::vector<std::uint8_t>(1000, 0x10));
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "WebAssembly's stderr goes to the JavaScript console, where it cannot be captured";
#endif
    testing::internal::CaptureStderr();
    effect_init(640, 480);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "data/lumo.raw: 1000 bytes, short of a texture's 196608: the missing bytes read as 255 (white)\n");
    EXPECT_EQ(g_effect_texture[332], 0x00101010u);
    EXPECT_EQ(g_effect_texture[333], 0x0010FFFFu) << "bytes 999 and on are missing";
    EXPECT_EQ(g_effect_texture[65535], 0x00FFFFFFu);
}

}  // namespace
