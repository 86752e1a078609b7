#include "fx/effect_frame.h"

#include "fx/dot_table.h"
#include "fx/fade_kernels.h"
#include "fx/frame.h"

void draw_effect_frame(const Frame32& picture, double angle, std::uint32_t amount, int held)
{
    compose_effect_frame(picture, effect_windows(angle), amount, held, best_effect_row_kernel());
}

void compose_effect_frame(const Frame32& picture, const EffectWindows& windows, std::uint32_t amount, int held,
                          EffectRowKernel effect_row)
{
    // The effect covers the frame: effect_init is called with the frame's size.
    const FadeKernel fade = best_fade_kernel();
    const auto level = static_cast<std::uint8_t>(amount & 0xFFu);
    // The rows without dots: from the picture, or the frame held faded further, or left as held.
    const bool further = held >= 0 && level >= held;
    const std::uint32_t* plain_source = further ? g_virtual_backbuffer->pixels : picture.pixels;
    const auto plain_level = static_cast<std::uint8_t>(further ? level - held : level);
    const bool plain_rows = !further || plain_level != 0;
    const std::size_t stride = dot_table_stride();
    const std::uint16_t* a = dot_table_row(windows.a_column, windows.a_row);
    const std::uint16_t* b = dot_table_row(windows.b_column, windows.b_row);
    // Rows in threes: one with dots, then two only faded, back to back; in the order that every
    // pass over the frame takes in turn (fx/frame.h).
    static_assert(k_frame_height % 3 == 0);
    const bool backward = next_pass_backward();
    constexpr int k_groups = k_frame_height / 3;
    constexpr int k_ahead = 2;
    constexpr std::size_t k_dot_row_entries = (k_frame_width + 2) / 3;
    for (int n = 0; n < k_groups; ++n) {
        const int group = backward ? k_groups - 1 - n : n;
        const std::size_t first = static_cast<std::size_t>(3 * group) * k_frame_width;
        const std::size_t dots = static_cast<std::size_t>(group) * stride;
        // The table entries of the group after next are asked for now, so that they are in cache
        // when it starts: an eighth off an effect frame, measured, where the processor's own
        // prefetching does not follow the dot rows.
        if (n + k_ahead < k_groups) {
            const std::size_t later = static_cast<std::size_t>(backward ? group - k_ahead : group + k_ahead) * stride;
            for (std::size_t entry = 0; entry < k_dot_row_entries; entry += 32) {
                __builtin_prefetch(a + later + entry);
                __builtin_prefetch(b + later + entry);
            }
        }
        effect_row(picture.pixels + first, g_virtual_backbuffer->pixels + first, k_frame_width,
                   {a + dots, b + dots, g_effect_scroll}, level);
        if (plain_rows)
            fade(plain_source + first + k_frame_width, g_virtual_backbuffer->pixels + first + k_frame_width,
                 2 * k_frame_width, plain_level);
    }
    g_effect_scroll = static_cast<std::uint16_t>(g_effect_scroll + k_scroll_step);
}
