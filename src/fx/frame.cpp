#include "fx/frame.h"

#include <cstring>
#include <new>

#include "fx/fade_kernels.h"

Frame32* g_virtual_backbuffer = nullptr;
Frame32 g_outgoing_picture;
Frame32 g_incoming_picture;

namespace {

constexpr std::size_t k_pass_block = 4096;  // pixels: 16 KB
static_assert(k_frame_pixels % k_pass_block == 0);

// Runs block over the frame in blocks, in the order next_pass_backward gives.
template <typename Block>
void whole_frame_pass(Block block)
{
    const bool backward = next_pass_backward();
    constexpr std::size_t blocks = k_frame_pixels / k_pass_block;
    for (std::size_t n = 0; n < blocks; ++n)
        block((backward ? blocks - 1 - n : n) * k_pass_block);
}

std::uint8_t fade_level(std::uint32_t amount) { return static_cast<std::uint8_t>(amount & 0xFFu); }

}  // namespace

// A picture and the backbuffer together are larger than the processor's second-level cache, so
// passes that all ran front to back would find nothing of the previous pass there.
bool next_pass_backward()
{
    static bool backward = false;
    backward = !backward;
    return backward;
}

Frame32* allocate_frame()
{
    // Aligned new rather than aligned_alloc, which not every C runtime has.
    void* memory = ::operator new (sizeof(Frame32), std::align_val_t{alignof(Frame32)}, std::nothrow);
    if (memory == nullptr)
        return nullptr;
    std::memset(memory, 0, sizeof(Frame32));
    return static_cast<Frame32*>(memory);
}

void free_frame(Frame32* frame) { ::operator delete (frame, std::align_val_t{alignof(Frame32)}); }

void fade_to_black(std::uint32_t amount)
{
    const FadeKernel kernel = best_fade_kernel();
    std::uint32_t* pixels = g_virtual_backbuffer->pixels;
    whole_frame_pass(
        [&](std::size_t first) { kernel(pixels + first, pixels + first, k_pass_block, fade_level(amount)); });
}

void copy_faded_frame(const Frame32& source, std::uint32_t amount)
{
    const FadeKernel kernel = best_fade_kernel();
    std::uint32_t* target = g_virtual_backbuffer->pixels;
    whole_frame_pass(
        [&](std::size_t first) { kernel(source.pixels + first, target + first, k_pass_block, fade_level(amount)); });
}
