#pragma once

#include <cstddef>
#include <cstdint>

// The one image layout of the show: 640x480 pixels, rows top-down with no gap, each pixel
// 0xTTRRGGBB. The top byte carries no colour: 0xFF in loaded pictures, 0 after a fade.
inline constexpr int k_frame_width = 640;
inline constexpr int k_frame_height = 480;
inline constexpr std::size_t k_frame_pixels = 307200;
inline constexpr std::size_t k_frame_bytes = 1228800;
inline constexpr std::size_t k_frame_row_bytes = 2560;

struct alignas(64) Frame32 {
    std::uint32_t pixels[k_frame_pixels];
};
static_assert(sizeof(Frame32) == k_frame_bytes);

// Where every frame of the show is made; allocated and cleared once at start-up, never freed.
extern Frame32* g_virtual_backbuffer;
// The picture being faded out and the one being faded in. Written only by the picture loader.
extern Frame32 g_outgoing_picture;
extern Frame32 g_incoming_picture;

// Allocates a zero-filled frame at start-up; null when memory is short. Lives until the process ends.
Frame32* allocate_frame();

// Frees a frame of allocate_frame: for tests and benchmarks, since the show never frees its own.
void free_frame(Frame32* frame);

// Every pass over the whole frame asks once, and runs from its end when told: each runs in the
// opposite order to the one before, whichever it was, and starts on the lines that one touched last.
bool next_pass_backward();

// Called to fade a frame already made further: subtracts amount & 0xFF from the red, green and blue bytes of every
// pixel of the virtual backbuffer with a floor at 0, and clears the top byte.
void fade_to_black(std::uint32_t amount);

// The picture copied into the virtual backbuffer and faded by amount as fade_to_black fades, in
// one pass: the frames that draw nothing between the two, for half the memory traffic.
void copy_faded_frame(const Frame32& source, std::uint32_t amount);

// The per-byte half sum of two pixels, all four bytes alike; no byte carries into the next.
constexpr std::uint32_t blend_half(std::uint32_t a, std::uint32_t b)
{
    return ((a >> 1) & 0x7F7F7F7Fu) + ((b >> 1) & 0x7F7F7F7Fu);
}
