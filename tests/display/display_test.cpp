#include "display/display.h"

#include <gtest/gtest.h>

#include "death_tests.h"

#include <cstring>
#include <memory>
#include <vector>

#include "display/display_mode.h"
#include "fx/frame.h"
#include "platform/headless/headless.h"
#include "platform/window.h"

namespace {

using Op = PresentOp;

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        g_headless = {};
        for (std::size_t i = 0; i < k_frame_pixels; ++i)
            frame_.pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    }

    Display& make(std::uint8_t mode)
    {
        display_ = std::make_unique<Display>(window_create("t", 640, 480));
        display_->init(mode, 0);
        display_->source_frame = frame_.pixels;
        g_headless.present_calls.clear();
        return *display_;
    }

    // Pixel x of row y of the back surface.
    std::uint32_t back_pixel(int x, int y) const
    {
        std::uint32_t pixel;
        std::memcpy(&pixel, &g_headless.back_memory[y * g_headless.back_desc.pitch_bytes + x * 4], 4);
        return pixel;
    }

    Frame32 frame_;
    std::unique_ptr<Display> display_;
};

TEST_F(DisplayTest, WindowedInitCreatesSurfacesThenChecksTheDesktop)
{
    g_headless.client_on_screen = {0, 0, 640, 480};
    auto display = std::make_unique<Display>(window_create("w", 640, 480));
    display->init(k_mode_windowed, 0);
    const std::vector<Op> expected = {Op::open,           Op::share_desktop, Op::create_primary, Op::create_offscreen,
                                      Op::clip_to_window, Op::desktop_bits,  Op::describe,       Op::describe};
    EXPECT_EQ(g_headless.present_calls, expected);
    EXPECT_EQ(g_headless.back_desc.width, 640);
    EXPECT_EQ(g_headless.back_desc.height, 480);
    EXPECT_EQ(display->pitch_pixels, 640);
    EXPECT_EQ(display->frame_rect.right, 640);
    EXPECT_EQ(display->frame_rect.bottom, 480);
    EXPECT_EQ(display->window_rect.right, 640);
    EXPECT_NE(display->ddraw, nullptr);
    EXPECT_NE(display->primary, nullptr);
    EXPECT_NE(display->back, nullptr);
}

TEST_F(DisplayTest, FullscreenInitTakesTheDisplayAndFlips)
{
    Display again(window_create("f", 640, 480));
    again.init(k_mode_fullscreen, 1);
    const std::vector<Op> expected = {Op::open,        Op::take_display, Op::set_mode, Op::create_flip_chain,
                                      Op::back_buffer, Op::describe,     Op::describe};
    EXPECT_EQ(g_headless.present_calls, expected);
    again.source_frame = frame_.pixels;
    again.present();
    EXPECT_TRUE(g_headless.last_flip_wait);
}

// Each step of init under its rule: strict steps fail even when busy, lenient ones pass busy, and
// a creation that passes but yields nothing is a failure of its own.
TEST_F(DisplayTest, InitResultRules)
{
    struct Case {
        std::uint8_t mode;
        Op op;
        PresentResult result;
        const char* message;  // null: init goes on
    };
    const Case cases[] = {
        {k_mode_windowed, Op::open, DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY "},
        {k_mode_windowed, Op::share_desktop, DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY "},
        {k_mode_fullscreen, Op::take_display, DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY "},
        {k_mode_fullscreen, Op::set_mode, DDERR_UNSUPPORTEDMODE, "DDERR_UNSUPPORTEDMODE "},
        {k_mode_windowed, Op::create_primary, DDERR_SURFACEBUSY, "DDERR_GENERIC "},
        {k_mode_windowed, Op::create_offscreen, DDERR_OUTOFMEMORY, "E_OUTOFMEMORY "},
        {k_mode_fullscreen, Op::create_flip_chain, make_ddhresult(380), "DDERR_OUTOFVIDEOMEMORY "},
        {k_mode_fullscreen, Op::back_buffer, DDERR_SURFACEBUSY, "DDERR_GENERIC "},
        {k_mode_windowed, Op::clip_to_window, DDERR_SURFACEBUSY, nullptr},
        {k_mode_windowed, Op::clip_to_window, make_ddhresult(600), "DDERR_NOOPTIMIZEHW"},
        {k_mode_windowed, Op::describe, DDERR_SURFACEBUSY, nullptr},
        {k_mode_fullscreen, Op::describe, 1, "Unknown error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message != nullptr ? c.message : "passes");
        g_headless = {};
        g_headless.scripted = {{c.op, c.result}};
        Display display(window_create("t", 640, 480));
        if (c.message == nullptr) {
            display.init(c.mode, 0);
            EXPECT_EQ(display.pitch_pixels, 640);
        } else {
            EXPECT_EXIT(display.init(c.mode, 0), ::testing::ExitedWithCode(2),
                        std::string("^") + c.message + " " + c.message + "\n");
        }
    }
}

TEST_F(DisplayTest, WindowedStartOnADesktopThatIsNot32BitsEnds)
{
    g_headless.desktop_bits = 16;
    Display display(window_create("t", 640, 480));
    EXPECT_EXIT(display.init(k_mode_windowed, 0), ::testing::ExitedWithCode(2), "^32bpp desktop please ;\\) Error\n");
    // A failed query leaves the count at 0: the same ending.
    g_headless = {};
    g_headless.scripted = {{Op::desktop_bits, DDERR_GENERIC}};
    Display other(window_create("t", 640, 480));
    EXPECT_EXIT(other.init(k_mode_windowed, 0), ::testing::ExitedWithCode(2), "^32bpp desktop please");
}

TEST_F(DisplayTest, UploadStepsByThePitchAndLeavesTheRestOfEachRow)
{
    g_headless.back_pitch_bytes = 4096;
    Display& display = make(k_mode_windowed);
    EXPECT_EQ(display.pitch_pixels, 1024);
    std::fill(g_headless.back_memory.begin(), g_headless.back_memory.end(), 0xAB);

    display.upload();
    EXPECT_EQ(g_headless.present_calls, (std::vector<Op>{Op::lock, Op::unlock}));
    for (int y = 0; y < k_frame_height; ++y) {
        const std::uint8_t* row = &g_headless.back_memory[std::size_t(y) * 4096];
        ASSERT_EQ(std::memcmp(row, &frame_.pixels[y * k_frame_width], k_frame_row_bytes), 0) << "row " << y;
        for (int b = 2560; b < 4096; ++b)
            ASSERT_EQ(row[b], 0xAB) << "row " << y << " byte " << b;
    }
    EXPECT_EQ(back_pixel(639, 479), frame_.pixels[k_frame_pixels - 1]);
}

TEST_F(DisplayTest, LostSurfaceIsRestoredOnceAndTheNextFrameIsNormal)
{
    Display& display = make(k_mode_windowed);
    g_headless.scripted = {{Op::blit, DDERR_SURFACELOST}};
    display.upload();
    display.present();
    display.upload();
    display.present();
    EXPECT_EQ(g_headless.present_calls,
              (std::vector<Op>{Op::lock, Op::unlock, Op::blit, Op::restore, Op::lock, Op::unlock, Op::blit}));

    // A restore that finds the surface busy passes too; one that fails is named.
    g_headless.scripted = {{Op::flip, DDERR_SURFACELOST}, {Op::restore, DDERR_SURFACEBUSY}};
    Display& fullscreen = make(k_mode_fullscreen);
    fullscreen.present();
    EXPECT_EQ(g_headless.present_calls, (std::vector<Op>{Op::flip, Op::restore}));
    g_headless.scripted = {{Op::flip, DDERR_SURFACELOST}, {Op::restore, make_ddhresult(90)}};
    EXPECT_EXIT(fullscreen.present(), ::testing::ExitedWithCode(2), "^DDERR_HEIGHTALIGN  DDERR_HEIGHTALIGN \n");
}

TEST_F(DisplayTest, BusyOrStillDrawingDropsTheFrameAnyOtherFailureEnds)
{
    Display& display = make(k_mode_fullscreen);
    g_headless.scripted = {{Op::flip, DDERR_SURFACEBUSY}, {Op::flip, DDERR_WASSTILLDRAWING}};
    display.present();
    display.present();
    display.present();
    EXPECT_EQ(g_headless.present_calls, (std::vector<Op>{Op::flip, Op::flip, Op::flip}));

    g_headless.scripted = {{Op::flip, DDERR_GENERIC}};
    EXPECT_EXIT(display.present(), ::testing::ExitedWithCode(2), "^DDERR_GENERIC  DDERR_GENERIC \n");
    g_headless.scripted = {{Op::flip, 0x887602B3u}};
    EXPECT_EXIT(display.present(), ::testing::ExitedWithCode(2), "^DDERR_EXPIRED DDERR_EXPIRED\n");
}

TEST_F(DisplayTest, WindowedPresentStretchesOntoTheWindowAsItIsNow)
{
    Display& display = make(k_mode_windowed);
    window_place(display.window, 30, 40, 600, 480);
    display.present();
    EXPECT_EQ(g_headless.last_blit.left, 30);
    EXPECT_EQ(g_headless.last_blit.top, 40);
    EXPECT_EQ(g_headless.last_blit.right, 630);
    EXPECT_EQ(g_headless.last_blit.bottom, 520);
    EXPECT_EQ(display.window_rect.right, 630);
}

TEST_F(DisplayTest, LockAndUnlockFailuresAreStrict)
{
    Display& display = make(k_mode_windowed);
    g_headless.scripted = {{Op::lock, DDERR_SURFACELOST}};
    EXPECT_EXIT(display.upload(), ::testing::ExitedWithCode(2), "^DDERR_SURFACELOST  DDERR_SURFACELOST \n");
    g_headless.scripted = {{Op::unlock, make_ddhresult(584)}};
    EXPECT_EXIT(display.upload(), ::testing::ExitedWithCode(2), "^DDERR_NOTLOCKED  DDERR_NOTLOCKED \n");
    // The death tests ran in children: here the script is still full.
    g_headless.scripted.clear();
    g_headless.present_calls.clear();
    display.unlock();
    EXPECT_EQ(g_headless.present_calls, (std::vector<Op>{Op::unlock}));
    display.fail(0);
}

TEST_F(DisplayTest, ReleaseIsHarmlessBeforeInitAndWhenRepeated)
{
    Display idle(window_create("t", 640, 480));
    idle.release();
    idle.release();
    EXPECT_TRUE(g_headless.present_calls.empty());

    Display& display = make(k_mode_fullscreen);
    display.release();
    display.release();
    EXPECT_EQ(g_headless.present_calls, (std::vector<Op>{Op::release_surface, Op::release}));
    EXPECT_EQ(display.ddraw, nullptr);
    EXPECT_EQ(display.primary, nullptr);
}

}  // namespace
