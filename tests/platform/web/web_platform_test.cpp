// The web platform in test mode, run under Node with a stand-in for the page's canvas: what the
// browser tests rely on (the hashes, the virtual clock, the last frame on the canvas, the stop) and
// the keys the page queues.

#include <emscripten.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/events.h"
#include "platform/presentation.h"
#include "fx/frame_hash.h"
#include "platform/web/web_internal.h"

namespace {

constexpr int k_pixels = k_canvas_width * k_canvas_height;

// A canvas that keeps a copy of what was put on it.
void install_canvas()
{
    // The page's JavaScript, kept as written: clang-format would take it for C++.
    // clang-format off
    EM_ASM({
        globalThis.ImageData = class {
            constructor(data, width, height) { this.data = data; this.width = width; this.height = height; }
        };
        Module["web_context"] = { putImageData(image) { Module["put_bytes"] = image.data.slice(); } };
        Module["put_bytes"] = null;
    });
// clang-format on
}

// The bytes last put on the canvas; empty when nothing was.
std::vector<std::uint8_t> canvas_bytes()
{
    const int size = EM_ASM_INT({ return Module["put_bytes"] ? Module["put_bytes"].length : 0; });
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0)
        EM_ASM({ HEAPU8.set(Module["put_bytes"], $0); }, bytes.data());
    return bytes;
}

struct Surfaces {
    PresentDevice* device = nullptr;
    PresentSurface* primary = nullptr;
    PresentSurface* back = nullptr;
};

// The windowed path, as the Display takes it.
Surfaces open_windowed()
{
    Surfaces s;
    EXPECT_EQ(present_open(nullptr, &s.device), DD_OK);
    EXPECT_EQ(present_create_primary(s.device, &s.primary), DD_OK);
    EXPECT_EQ(present_create_offscreen(s.device, k_canvas_width, k_canvas_height, &s.back), DD_OK);
    return s;
}

// Fills the back surface with a pattern that differs per frame and returns its hash.
std::uint64_t draw(Surfaces& s, std::uint32_t seed)
{
    std::uint32_t* pixels = nullptr;
    EXPECT_EQ(present_lock(s.back, &pixels), DD_OK);
    for (int i = 0; i < k_pixels; ++i)
        pixels[i] = static_cast<std::uint32_t>(i) * 2654435761u + seed;
    EXPECT_EQ(present_unlock(s.back), DD_OK);
    return frame_hash_add(k_frame_hash_basis, pixels, static_cast<std::size_t>(k_pixels) * 4);
}

class WebPlatformTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_web = {};
        install_canvas();
    }
};

// Frame n is shown at floor(n * 1000 / fps) ms, each frame's hash is that of the bytes the program
// held, in order, and nothing is drawn on the canvas while the show runs.
TEST_F(WebPlatformTest, TestModeHashesEveryFrameAgainstTheVirtualClock)
{
    g_web.virtual_fps = 60;
    Surfaces s = open_windowed();
    const Rect canvas = {0, 0, k_canvas_width, k_canvas_height};
    std::vector<std::uint64_t> expected;
    const std::uint32_t times[] = {0, 16, 33, 50, 66};
    for (std::uint32_t n = 0; n < 5; ++n) {
        EXPECT_EQ(clock_now_ms(), times[n]) << n;
        expected.push_back(draw(s, n));
        EXPECT_EQ(present_blit(s.primary, canvas, s.back), DD_OK);
    }
    EXPECT_EQ(clock_now_ms(), 83u);
    EXPECT_EQ(g_web.frame_hashes, expected);
    EXPECT_TRUE(canvas_bytes().empty());
    PlatformEvent event;
    EXPECT_FALSE(events_poll(&event));
    present_release(s.device);
}

// With a frame limit the last frame goes on the canvas as R, G, B, 255 and a quit request
// follows, once.
TEST_F(WebPlatformTest, AFrameLimitLeavesTheLastFrameOnTheCanvasAndAsksToQuit)
{
    g_web.virtual_fps = 30;
    g_web.frame_limit = 3;
    Surfaces s;
    ASSERT_EQ(present_open(nullptr, &s.device), DD_OK);
    ASSERT_EQ(present_take_display(s.device), DD_OK);
    ASSERT_EQ(present_set_mode(s.device, k_canvas_width, k_canvas_height, 32), DD_OK);
    ASSERT_EQ(present_create_flip_chain(s.device, &s.primary), DD_OK);
    ASSERT_EQ(present_back_buffer(s.primary, &s.back), DD_OK);
    PlatformEvent event;
    for (std::uint32_t n = 0; n < 2; ++n) {
        draw(s, 7 * n);
        ASSERT_EQ(present_flip(s.primary, true), DD_OK);
        EXPECT_FALSE(events_poll(&event));
    }
    EXPECT_TRUE(canvas_bytes().empty());
    draw(s, 99);
    ASSERT_EQ(present_flip(s.primary, true), DD_OK);

    const std::vector<std::uint8_t> rgba = canvas_bytes();
    ASSERT_EQ(rgba.size(), static_cast<std::size_t>(k_pixels) * 4);
    for (int i = 0; i < k_pixels; ++i) {
        const std::uint32_t p = static_cast<std::uint32_t>(i) * 2654435761u + 99;
        const std::uint8_t want[4] = {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                      static_cast<std::uint8_t>(p), 0xff};
        ASSERT_EQ(0, std::memcmp(&rgba[4 * static_cast<std::size_t>(i)], want, 4)) << "pixel " << i;
    }
    EXPECT_EQ(g_web.frame_hashes.size(), 3u);
    ASSERT_TRUE(events_poll(&event));
    EXPECT_EQ(event.kind, EventKind::quit_requested);
    EXPECT_FALSE(events_poll(&event));
    present_release(s.device);
}

// The page's keydown codes arrive in order, as key_down events, and an empty queue never waits.
TEST_F(WebPlatformTest, KeysFromThePageArriveInOrder)
{
    PlatformEvent event;
    EM_ASM({ Module["web_keys"] = undefined; });
    EXPECT_FALSE(events_poll(&event));
    const std::int32_t keys[] = {k_key_escape, k_key_left, 65};
    EM_ASM({ Module["web_keys"] = []; });
    for (const std::int32_t key : keys)
        EM_ASM({ Module["web_keys"].push($0); }, key);
    for (const std::int32_t key : keys) {
        ASSERT_TRUE(events_poll(&event));
        EXPECT_EQ(event.kind, EventKind::key_down);
        EXPECT_EQ(event.key, key);
    }
    EXPECT_FALSE(events_poll(&event));
}

// Only the canvas's own size and four-byte pixels exist; anything else is refused as natively.
TEST_F(WebPlatformTest, OnlyTheCanvasSizeAt32BitsIsOffered)
{
    PresentDevice* device = nullptr;
    ASSERT_EQ(present_open(nullptr, &device), DD_OK);
    EXPECT_EQ(present_set_mode(device, k_canvas_width, k_canvas_height, 16), DDERR_UNSUPPORTEDMODE);
    EXPECT_EQ(present_set_mode(device, 800, 600, 32), DDERR_UNSUPPORTEDMODE);
    PresentSurface* back = nullptr;
    EXPECT_EQ(present_create_offscreen(device, 320, 200, &back), DDERR_UNSUPPORTEDMODE);
    EXPECT_EQ(back, nullptr);
    std::uint32_t bits = 0;
    EXPECT_EQ(present_desktop_bits(device, &bits), DD_OK);
    EXPECT_EQ(bits, 32u);
    present_release(device);
}

}  // namespace
