#include "platform/pacing.h"

namespace {

constexpr int k_default_refresh_hz = 60;
constexpr std::uint64_t k_ns_per_second = 1'000'000'000u;

}  // namespace

Pacing pacing_start(bool display_waits, int refresh_hz)
{
    const int hz = refresh_hz > 0 ? refresh_hz : k_default_refresh_hz;
    return {.period_ns = k_ns_per_second / static_cast<std::uint64_t>(hz), .pacing = !display_waits};
}

std::uint64_t pacing_after_present(Pacing* pacing, std::uint64_t now_ns)
{
    if (!pacing->pacing) {
        // Only a run of quick presents shows that the display does not wait; a single quick one
        // (a frame right after a long picture load) proves nothing.
        const bool quick = pacing->last_present_ns != 0 && now_ns - pacing->last_present_ns < pacing->period_ns / 2;
        pacing->quick_in_a_row = quick ? pacing->quick_in_a_row + 1 : 0;
        pacing->last_present_ns = now_ns;
        if (pacing->quick_in_a_row < k_quick_presents_to_pace)
            return now_ns;
        pacing->pacing = true;
    }
    // A frame that took longer than a period starts the count afresh instead of being followed
    // by a burst that catches up.
    const std::uint64_t wake = now_ns < pacing->next_present_ns ? pacing->next_present_ns : now_ns;
    pacing->next_present_ns = wake + pacing->period_ns;
    return wake;
}
