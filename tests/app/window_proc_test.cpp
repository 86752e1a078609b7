#include <gtest/gtest.h>

#include "death_tests.h"

#include <vector>

#include "app/shell.h"
#include "display/display_mode.h"
#include "platform/headless/headless.h"
#include "platform/window.h"

namespace {

using Calls = std::vector<WindowCall>;

PlatformEvent key(std::int32_t code) { return {EventKind::key_down, code, 0, 0}; }
PlatformEvent move(std::int32_t x, std::int32_t y) { return {EventKind::pointer_move, 0, x, y}; }
PlatformEvent press(std::int32_t x, std::int32_t y) { return {EventKind::button_down, 0, x, y}; }
PlatformEvent release() { return {EventKind::button_up, 0, 0, 0}; }

class WindowProcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        g_headless = {};
        g_window = window_create("t", 640, 480);
        g_display_mode = k_mode_windowed;
        reset_window_controls();
    }

    static void send(const std::vector<PlatformEvent>& events)
    {
        for (const PlatformEvent& e : events)
            window_proc(g_window, e);
    }
};

TEST_F(WindowProcTest, ArrowKeysResizeByFourKeepingThePosition)
{
    for (int i = 0; i < 10; ++i)
        send({key(k_key_left)});
    EXPECT_EQ(g_headless.window_calls.size(), 10u);
    EXPECT_EQ(g_headless.window_calls.back(), (WindowCall{WindowCall::resize, 600, 480}));
    send({key(k_key_down), key(k_key_down), key(k_key_up), key(k_key_right)});
    EXPECT_EQ(g_headless.window_calls.back(), (WindowCall{WindowCall::resize, 604, 484}));
    EXPECT_EQ(g_window_placement.x, 0);
    EXPECT_EQ(g_window_placement.y, 0);
    const Rect r = window_screen_rect(g_window);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right - r.left, 604);
}

TEST_F(WindowProcTest, TheRecordFollowsTheKeysButThePlatformIsAskedOnlyForSizesAScreenTakes)
{
    for (int i = 0; i < 125; ++i)
        send({key(k_key_up)});
    EXPECT_EQ(g_window_placement.height, -20);
    EXPECT_EQ(g_headless.window_calls.back(), (WindowCall{WindowCall::resize, 640, 1}));

    // Past 65,535 an X server answers BadValue: about 16,300 presses of Down from 480 rows.
    for (int i = 0; i < 125 + 16400; ++i)
        send({key(k_key_down)});
    EXPECT_EQ(g_window_placement.height, 480 + 4 * 16400);
    EXPECT_EQ(g_headless.window_calls.back(), (WindowCall{WindowCall::resize, 640, 16384}));
    for (int i = 0; i < 4096; ++i)
        send({key(k_key_right)});
    EXPECT_EQ(g_headless.window_calls.back(), (WindowCall{WindowCall::resize, 16384, 16384}));
    EXPECT_EQ(g_window_placement.width, 640 + 4 * 4096);
}

TEST_F(WindowProcTest, DragArmsTakesItsPointThenPlacesTheWindow)
{
    // The spurious move some platforms send at start-up only records a point.
    send({move(5, 5)});
    EXPECT_TRUE(g_headless.window_calls.empty());

    send({press(100, 50)});
    EXPECT_EQ(g_drag.dragging, 1);
    EXPECT_EQ(g_drag.last_cursor_x, -1);
    send({move(100, 50)});  // takes hold here, does not move
    send({move(130, 40), move(90, 60)});
    send({release(), move(300, 300)});
    const Calls expected = {{WindowCall::capture},
                            {WindowCall::place, 30, -10, 640, 480},
                            {WindowCall::place, 20, 0, 640, 480},
                            {WindowCall::release_capture}};
    EXPECT_EQ(g_headless.window_calls, expected);
    EXPECT_EQ(g_drag.dragging, 0);
    EXPECT_EQ(g_drag.last_cursor_x, 300);
}

TEST_F(WindowProcTest, DragBeyondTheTopLeftMovesByThatMuch)
{
    send({press(10, 10), move(10, 10), move(-20, -5)});
    EXPECT_EQ(g_headless.window_calls.back(), (WindowCall{WindowCall::place, -30, -15, 640, 480}));
}

// The drag places the window at the recorded size, whatever it was made meanwhile: resized from
// outside to 300x200 it comes back to 640x480, or to what the arrow keys made, bounded as they are.
TEST_F(WindowProcTest, ADragGivesBackTheRecordedSize)
{
    g_headless.window_on_screen = {0, 0, 300, 200};
    send({press(10, 10), move(10, 10), move(30, 25)});
    EXPECT_EQ(g_headless.window_calls.back(), (WindowCall{WindowCall::place, 20, 15, 640, 480}));
    const Rect r = window_screen_rect(g_window);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);

    for (int i = 0; i < 125; ++i)
        send({key(k_key_up)});
    send({key(k_key_right), move(40, 25)});
    EXPECT_EQ(g_headless.window_calls.back(), (WindowCall{WindowCall::place, 50, 30, 644, 1}));
}

TEST_F(WindowProcTest, OnlyTheUpperRowsStartADrag)
{
    send({press(0, 384)});
    EXPECT_EQ(g_drag.dragging, 0);
    EXPECT_TRUE(g_headless.window_calls.empty());
    send({press(0, 383)});
    EXPECT_EQ(g_drag.dragging, 1);
    EXPECT_EQ(g_headless.window_calls, (Calls{{WindowCall::capture}}));
}

// Coordinates are read as Windows' signed 16-bit words, on every platform: 65535 is one pixel above
// the window, and a point 65536 further on is the same point.
TEST_F(WindowProcTest, PointerCoordinatesAreReadAsSigned16BitWords)
{
    EXPECT_EQ(pointer_coordinate(0x7FFF), 32767);
    EXPECT_EQ(pointer_coordinate(0x8000), -32768);
    EXPECT_EQ(pointer_coordinate(0xFFFF), -1);
    EXPECT_EQ(pointer_coordinate(-20), -20);

    send({press(0, 65536 + 384)});
    EXPECT_EQ(g_drag.dragging, 0);
    send({press(0, 0xFFFF)});
    EXPECT_EQ(g_drag.dragging, 1);
    send({move(65536 + 10, 10), move(65536 + 30, 0xFFFF)});
    EXPECT_EQ(g_headless.window_calls.back(), (WindowCall{WindowCall::place, 20, -11, 640, 480}));
}

TEST_F(WindowProcTest, OtherKeysAndFullscreenInputChangeNothing)
{
    send({key('A'), key(13), key(0), key(112)});
    g_display_mode = k_mode_fullscreen;
    send({key(k_key_left), key(k_key_down), press(10, 10), move(10, 10), move(50, 50), release()});
    EXPECT_TRUE(g_headless.window_calls.empty());
    EXPECT_EQ(g_window_placement.width, 640);
    EXPECT_EQ(g_drag.dragging, 0);
    EXPECT_EQ(g_drag.last_cursor_x, -1);
}

TEST_F(WindowProcTest, EscapeAndClosingEndWithStatusZeroInBothModes)
{
    EXPECT_EXIT(send({key(k_key_escape)}), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(send({{EventKind::window_closed, 0, 0, 0}}), ::testing::ExitedWithCode(0), "");
    g_display_mode = k_mode_fullscreen;
    EXPECT_EXIT(send({key(k_key_escape)}), ::testing::ExitedWithCode(0), "");
}

TEST_F(WindowProcTest, PumpHandsOverEveryEventAndAQuitEndsAtOnce)
{
    g_headless.pending_events = {press(10, 10), move(10, 10), move(15, 12)};
    pump_messages();
    EXPECT_TRUE(g_headless.pending_events.empty());
    EXPECT_EQ(g_headless.window_calls.back(), (WindowCall{WindowCall::place, 5, 2, 640, 480}));

    g_headless.pending_events = {{EventKind::quit_requested, 0, 0, 0}, key(k_key_left)};
    EXPECT_EXIT(pump_messages(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
