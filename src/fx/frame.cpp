#include "fx/frame.h"

#include <cstdlib>
#include <cstring>

#include "fx/fade_kernels.h"

Frame32* g_virtual_backbuffer = nullptr;
Frame32 g_outgoing_picture;
Frame32 g_incoming_picture;

Frame32* allocate_frame()
{
    void* memory = std::aligned_alloc(alignof(Frame32), sizeof(Frame32));
    if (memory == nullptr)
        return nullptr;
    std::memset(memory, 0, sizeof(Frame32));
    return static_cast<Frame32*>(memory);
}

void copy_frame(const Frame32& source)
{
    std::memcpy(g_virtual_backbuffer->pixels, source.pixels, k_frame_bytes);
}

void fade_to_black(std::uint32_t amount)
{
    best_fade_kernel()(g_virtual_backbuffer->pixels, g_virtual_backbuffer->pixels, k_frame_pixels,
                       static_cast<std::uint8_t>(amount & 0xFFu));
}

void copy_faded_frame(const Frame32& source, std::uint32_t amount)
{
    best_fade_kernel()(source.pixels, g_virtual_backbuffer->pixels, k_frame_pixels,
                       static_cast<std::uint8_t>(amount & 0xFFu));
}
