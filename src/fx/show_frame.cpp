#include "fx/show_frame.h"

#include "fx/effect_frame.h"
#include "fx/frame.h"

namespace {

// What the virtual backbuffer holds: picture faded by amount, with or without the effect; no
// picture when it holds nothing this file drew.
struct HeldFrame {
    const Frame32* picture;
    std::uint32_t amount;
    bool effect;
};

HeldFrame g_held = {nullptr, 0, false};

}  // namespace

void draw_show_frame(const Frame32& picture, std::uint32_t amount, double angle)
{
    const bool effect = angle != k_no_effect;
    const bool same = g_held.picture == &picture && g_held.effect == effect;
    if (effect) {
        // The dots move every frame; the rows without them may be faded further in place.
        draw_effect_frame(picture, angle, amount, same ? static_cast<int>(g_held.amount) : -1);
    } else if (!same || amount < g_held.amount) {
        copy_faded_frame(picture, amount);
    } else if (amount > g_held.amount) {
        fade_to_black(amount - g_held.amount);
    }
    g_held = {&picture, amount, effect};
}

void forget_held_frame() { g_held.picture = nullptr; }
