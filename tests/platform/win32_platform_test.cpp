// The Win32 platform against a real window: what its window procedure hands the show, the pump's
// end on WM_QUIT, the window's placement, and a windowed DirectDraw device. Runs on a desktop
// (under Wine on a private X server in the tests).

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vector>

#include "platform/events.h"
#include "platform/message_box.h"
#include "platform/presentation.h"
#include "platform/window.h"
#include "platform/win32/win32_internal.h"

namespace {

std::vector<PlatformEvent> g_events;

void record(PlatformWindow*, const PlatformEvent& event) { g_events.push_back(event); }

// Client coordinates as Windows packs them: two 16-bit words, negative ones in two's complement.
LPARAM point(int x, int y)
{
    return static_cast<LPARAM>(static_cast<std::uint16_t>(x) | static_cast<std::uint32_t>(static_cast<std::uint16_t>(y))
                                                                   << 16);
}

void drain()
{
    PlatformEvent event;
    while (events_poll(&event))
        g_events.push_back(event);
}

class Win32PlatformTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_win32.instance = GetModuleHandleA(nullptr);
        g_win32.show_command = SW_SHOWNORMAL;
        events_set_handler(record);
        window = window_create("velmorastik test", 640, 480);
        ASSERT_NE(window, nullptr) << platform_failure_reason();
        drain();
        g_events.clear();
    }

    void TearDown() override
    {
        events_set_handler(nullptr);
        if (IsWindow(window->hwnd))
            DestroyWindow(window->hwnd);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    PlatformWindow* window = nullptr;
};

TEST_F(Win32PlatformTest, TheWindowIsABorderlessPopupOfTheShowsClassAtTheOrigin)
{
    char text[64] = {};
    GetWindowTextA(window->hwnd, text, sizeof text);
    EXPECT_STREQ(text, "velmorastik test");
    GetClassNameA(window->hwnd, text, sizeof text);
    EXPECT_STREQ(text, "velmorastik");
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(window->hwnd, GWL_STYLE));
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
    const Rect client = window_client_rect_on_screen(window);
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
}

TEST_F(Win32PlatformTest, TheWindowProcedureHandsOverKeysPointerAndButtonWithSignedCoordinates)
{
    PostMessageA(window->hwnd, WM_KEYDOWN, VK_LEFT, 0);
    PostMessageA(window->hwnd, WM_MOUSEMOVE, 0, point(-10, -20));
    PostMessageA(window->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, point(5, 383));
    PostMessageA(window->hwnd, WM_TIMER, 1, 0);  // not the show's: goes its default way
    PostMessageA(window->hwnd, WM_LBUTTONUP, 0, point(32767, -32768));
    drain();
    ASSERT_EQ(g_events.size(), 4u);
    EXPECT_EQ(g_events[0].kind, EventKind::key_down);
    EXPECT_EQ(g_events[0].key, k_key_left);
    EXPECT_EQ(g_events[1].kind, EventKind::pointer_move);
    EXPECT_EQ(g_events[1].x, -10);
    EXPECT_EQ(g_events[1].y, -20);
    EXPECT_EQ(g_events[2].kind, EventKind::button_down);
    EXPECT_EQ(g_events[2].y, 383);
    EXPECT_EQ(g_events[3].kind, EventKind::button_up);
    EXPECT_EQ(g_events[3].x, 32767);
    EXPECT_EQ(g_events[3].y, -32768);
}

TEST_F(Win32PlatformTest, QuitEndsThePumpWithItsCodeLeftInTheQueueAndClosingTheWindowIsAnEvent)
{
    PostMessageA(window->hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    PostQuitMessage(7);
    PlatformEvent event;
    ASSERT_TRUE(events_poll(&event));
    EXPECT_EQ(event.kind, EventKind::quit_requested);
    ASSERT_EQ(g_events.size(), 1u);  // the key, dispatched before the quit was seen
    EXPECT_EQ(g_events[0].key, k_key_escape);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);

    g_events.clear();
    DestroyWindow(window->hwnd);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].kind, EventKind::window_closed);
}

TEST_F(Win32PlatformTest, ResizeKeepsThePlacePlaceSetsBothAndBothPutTheWindowOnTop)
{
    window_resize(window, 600, 484);
    Rect r = window_screen_rect(window);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 600);
    EXPECT_EQ(r.bottom, 484);
    // Resized from outside, then placed: the size asked comes back with the place.
    SetWindowPos(window->hwnd, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    window_place(window, 50, -30, 600, 484);
    r = window_screen_rect(window);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, -30);
    EXPECT_EQ(r.right - r.left, 600);
    EXPECT_EQ(r.bottom - r.top, 484);
    EXPECT_TRUE(GetWindowLongPtrA(window->hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(Win32PlatformTest, AWindowedDeviceBlitsItsOffscreenSurfaceOntoTheWindow)
{
    PresentDevice* device = nullptr;
    ASSERT_EQ(present_open(window, &device), DD_OK);
    ASSERT_EQ(present_share_desktop(device), DD_OK);
    PresentSurface* primary = nullptr;
    PresentSurface* back = nullptr;
    ASSERT_EQ(present_create_primary(device, &primary), DD_OK);
    ASSERT_EQ(present_create_offscreen(device, 640, 480, &back), DD_OK);
    ASSERT_EQ(present_clip_to_window(device, primary), DD_OK);
    std::uint32_t bits = 0;
    EXPECT_EQ(present_desktop_bits(device, &bits), DD_OK);
    EXPECT_EQ(bits, 32u);
    SurfaceDescription description = {};
    ASSERT_EQ(present_describe(back, &description), DD_OK);
    EXPECT_EQ(description.width, 640);
    EXPECT_EQ(description.height, 480);
    EXPECT_GE(description.pitch_bytes, 2560);

    std::uint32_t* pixels = nullptr;
    ASSERT_EQ(present_lock(back, &pixels), DD_OK);
    ASSERT_NE(pixels, nullptr);
    for (int row = 0; row < 480; ++row)
        for (int column = 0; column < 640; ++column)
            pixels[row * (description.pitch_bytes / 4) + column] = row < 240 ? 0x00FF8000u : 0x000040C0u;
    ASSERT_EQ(present_unlock(back), DD_OK);
    ASSERT_EQ(present_blit(primary, window_screen_rect(window), back), DD_OK);

    // Stretched into a smaller rectangle as well; and a primary without a back buffer cannot flip,
    // which DirectDraw says in its own words, the ones the failure report names.
    EXPECT_EQ(present_blit(primary, {0, 0, 600, 480}, back), DD_OK);
    EXPECT_EQ(present_flip(primary, false), make_ddhresult(582));  // DDERR_NOTFLIPPABLE

    present_release_surface(primary);
    present_release(device);
}

}  // namespace
