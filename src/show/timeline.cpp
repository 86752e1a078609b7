#include "show/timeline.h"

#include <cstdio>

#include "fx/frame.h"
#include "fx/show_frame.h"
#include "show/data_set.h"

namespace {

enum class Direction { out, in };

struct PhaseKind {
    Direction direction;
    bool effect;
    bool is_intro;  // the intro always draws a frame and does not pump before making one
};

// Every time value is taken relative to the show's first clock reading, in unsigned 32-bit
// arithmetic: the values stay small enough to be exact in single precision, and a wrap of the
// clock during the show changes nothing.
class ShowClock {
public:
    explicit ShowClock(std::uint32_t (*now)()) : now_(now), origin_(now()) {}

    // Milliseconds since the first reading; the first reading itself is 0.
    double elapsed() const { return static_cast<double>(static_cast<std::uint32_t>(now_() - origin_)); }

private:
    std::uint32_t (*now_)();
    std::uint32_t origin_;
};

float clamp_level(double level)
{
    if (level < 0.0)
        return 0.0f;
    if (level > 255.0)
        return 255.0f;
    return static_cast<float>(level);
}

void run_phase(const ShowOperations& operations, const ShowClock& clock, float effect_origin, const Frame32& source,
               PhaseKind kind, double phase_start_ms)
{
    // The phase start is kept in single precision, so the first level can come out a little
    // below 0; clamping draws it as 0.
    const float phase_start = static_cast<float>(phase_start_ms * k_level_per_ms);
    float level = 0.0f;
    if (!kind.is_intro && clock.elapsed() * k_level_per_ms - phase_start >= 255.0)
        return;

    // The test is on the clamped level, so every phase ends with exactly one frame at 255.
    while (level < 255.0f) {
        const double now = clock.elapsed();
        level = clamp_level(now * k_level_per_ms - phase_start);
        const double amount = kind.direction == Direction::out ? level : 255.0 - level;
        // Events are handled before the frame is made rather than between its drawing and its fade:
        // they never touch the frame, so every frame and when it is presented stay the same.
        if (!kind.is_intro)
            operations.pump_messages();
        // The picture, the effect (with the effect) and the fade, made in one walk over the frame
        // at most (fx/show_frame.h).
        operations.draw_frame(source, static_cast<std::uint32_t>(amount),
                              kind.effect ? (now - effect_origin) * k_angle_per_ms : k_no_effect);
        operations.show_frame();
        operations.pump_messages();
    }
}

struct PictureSet {
    const char* path_format;
    int count;
    int effect_transitions;
};

constexpr PictureSet k_sets[] = {
    {k_first_set_format, k_first_set_count, k_effect_transitions},
    {k_second_set_format, k_second_set_count, 0},
};

}  // namespace

bool picture_carries_effect(int place)
{
    // The intro fades out in the first set's first transition.
    if (place == 0)
        return k_sets[0].effect_transitions > 0;
    // A set's picture k fades in with its transition k, and out with the next, which carries the
    // effect only when k's does.
    int first = 1;
    for (const PictureSet& set : k_sets) {
        if (place < first + set.count)
            return place - first + 1 <= set.effect_transitions;
        first += set.count;
    }
    return false;
}

void run_show(const ShowOperations& operations)
{
    const ShowClock clock(operations.now);
    const double intro_start = 0.0;  // the origin reading itself
    const float effect_origin = static_cast<float>(clock.elapsed());
    run_phase(operations, clock, effect_origin, g_outgoing_picture, {Direction::in, false, true}, intro_start);

    // The picture on screen, reloaded before each fade-out so that every fade-out starts where
    // the previous fade-in ended, across the change of set too. Empty while the intro background
    // is still in g_outgoing_picture.
    char on_screen[32] = "";
    for (const PictureSet& set : k_sets) {
        for (int k = 1; k <= set.count; ++k) {
            char path[32];
            std::snprintf(path, sizeof path, set.path_format, k);
            operations.load_picture(path, &g_incoming_picture);
            if (on_screen[0] != '\0')
                operations.load_picture(on_screen, &g_outgoing_picture);

            const bool effect = k <= set.effect_transitions;
            run_phase(operations, clock, effect_origin, g_outgoing_picture, {Direction::out, effect, false},
                      clock.elapsed());
            run_phase(operations, clock, effect_origin, g_incoming_picture, {Direction::in, effect, false},
                      clock.elapsed());
            std::snprintf(on_screen, sizeof on_screen, "%s", path);
        }
    }
}
