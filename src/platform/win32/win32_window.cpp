// The one window and its message queue. The window procedure turns the messages the show looks at
// into events and hands them to the show's handler as they are dispatched, wherever that happens:
// in the pump between frames, inside calls that send messages, inside a message box's modal loop.

#include "platform/events.h"
#include "platform/window.h"
#include "platform/win32/win32_internal.h"

namespace {

constexpr const char* k_class_name = "velmorastik";

EventHandler g_handler = nullptr;

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    // Messages arrive during CreateWindowEx, before it has returned the handle.
    g_win32.window.hwnd = hwnd;
    PlatformEvent event = {};
    // Client coordinates are two 16-bit words: left of or above the window they are negative.
    const std::int32_t x = pointer_coordinate(LOWORD(lparam));
    const std::int32_t y = pointer_coordinate(HIWORD(lparam));
    switch (message) {
    case WM_DESTROY:
        event.kind = EventKind::window_closed;
        break;
    case WM_KEYDOWN:
        event = {.kind = EventKind::key_down, .key = static_cast<std::int32_t>(wparam)};
        break;
    case WM_MOUSEMOVE:
        event = {.kind = EventKind::pointer_move, .x = x, .y = y};
        break;
    case WM_LBUTTONDOWN:
        event = {.kind = EventKind::button_down, .x = x, .y = y};
        break;
    case WM_LBUTTONUP:
        event = {.kind = EventKind::button_up, .x = x, .y = y};
        break;
    default:
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }
    if (g_handler != nullptr)
        g_handler(&g_win32.window, event);
    return 0;
}

}  // namespace

void events_set_handler(EventHandler handler) { g_handler = handler; }

bool events_poll(PlatformEvent* event)
{
    static MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left in the queue for whatever runs after, as a message loop that does not end it should.
            PostQuitMessage(static_cast<int>(message.wParam));
            *event = {.kind = EventKind::quit_requested};
            return true;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return false;
}

bool display_connect()
{
    if (GetDesktopWindow() != nullptr)
        return true;
    win32_record_failure("no desktop", GetLastError());
    return false;
}

ScreenSize display_screen_size() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

PlatformWindow* window_create(const char* title, int width, int height)
{
    const WNDCLASSEXA window_class = {
        .cbSize = sizeof(WNDCLASSEXA),
        .style = CS_HREDRAW | CS_VREDRAW,
        .lpfnWndProc = window_procedure,
        .cbClsExtra = 0,
        .cbWndExtra = 0,
        .hInstance = g_win32.instance,
        .hIcon = LoadIconA(nullptr, IDI_APPLICATION),
        .hCursor = LoadCursorA(nullptr, IDC_ARROW),
        .hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)),
        .lpszMenuName = nullptr,
        .lpszClassName = k_class_name,
        .hIconSm = LoadIconA(nullptr, IDI_APPLICATION),
    };
    RegisterClassExA(&window_class);
    const HWND hwnd = CreateWindowExA(0, k_class_name, title, WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                                      g_win32.instance, nullptr);
    if (hwnd == nullptr) {
        win32_record_failure("CreateWindowEx", GetLastError());
        return nullptr;
    }
    g_win32.window.hwnd = hwnd;
    ShowWindow(hwnd, g_win32.show_command);
    UpdateWindow(hwnd);
    ShowCursor(FALSE);
    return &g_win32.window;
}

Rect window_client_rect_on_screen(PlatformWindow* window)
{
    RECT rect = {};
    GetClientRect(window->hwnd, &rect);
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    ClientToScreen(window->hwnd, &corners[0]);
    ClientToScreen(window->hwnd, &corners[1]);
    return {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

Rect window_screen_rect(PlatformWindow* window)
{
    RECT rect = {};
    GetWindowRect(window->hwnd, &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

void window_resize(PlatformWindow* window, std::int32_t width, std::int32_t height)
{
    SetWindowPos(window->hwnd, HWND_TOPMOST, 0, 0, width, height, SWP_NOMOVE);
}

void window_place(PlatformWindow* window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
{
    SetWindowPos(window->hwnd, HWND_TOPMOST, x, y, width, height, 0);
}

void window_capture_pointer(PlatformWindow* window) { SetCapture(window->hwnd); }

void window_release_pointer() { ReleaseCapture(); }
