#include <gtest/gtest.h>

#include <cstdint>

#include "platform/pacing.h"

namespace {

constexpr std::uint64_t k_ms = 1'000'000;
constexpr std::uint64_t k_period_60hz = 1'000'000'000 / 60;

TEST(Pacing, ADisplayThatDoesNotWaitIsPacedToOnePeriodAfterThePresentBefore)
{
    Pacing pacing = pacing_start(false, 60);
    const std::uint64_t start = 5'000 * k_ms;
    EXPECT_EQ(pacing_after_present(&pacing, start), start);
    // A frame drawn in 2 ms waits out the rest of the period.
    EXPECT_EQ(pacing_after_present(&pacing, start + 2 * k_ms), start + k_period_60hz);
    EXPECT_EQ(pacing_after_present(&pacing, start + k_period_60hz + 1 * k_ms), start + 2 * k_period_60hz);
    // A picture load of 300 ms: no wait after it, and no burst to catch up.
    const std::uint64_t late = start + 300 * k_ms;
    EXPECT_EQ(pacing_after_present(&pacing, late), late);
    EXPECT_EQ(pacing_after_present(&pacing, late + 1 * k_ms), late + k_period_60hz);
}

TEST(Pacing, AnUnknownRateIsTakenAsSixtyHertz)
{
    Pacing pacing = pacing_start(false, 0);
    pacing_after_present(&pacing, 1 * k_ms);
    EXPECT_EQ(pacing_after_present(&pacing, 2 * k_ms), 1 * k_ms + k_period_60hz);
    Pacing fast = pacing_start(false, 144);
    fast.next_present_ns = 0;
    pacing_after_present(&fast, 1 * k_ms);
    EXPECT_EQ(pacing_after_present(&fast, 2 * k_ms), 1 * k_ms + 1'000'000'000 / 144);
}

TEST(Pacing, ADisplayThatWaitsIsLeftAloneWhateverItsFramesCost)
{
    Pacing pacing = pacing_start(true, 60);
    std::uint64_t now = 1'000 * k_ms;
    // Two minutes of frames a period apart, each fifth one delayed by a slow frame.
    for (int frame = 0; frame < 7'200; ++frame) {
        now += frame % 5 == 4 ? 3 * k_period_60hz : k_period_60hz;
        ASSERT_EQ(pacing_after_present(&pacing, now), now) << "frame " << frame;
    }
    EXPECT_FALSE(pacing.pacing);
}

TEST(Pacing, ABurstOfQuickPresentsTurnsPacingOnAndIsolatedOnesDoNot)
{
    Pacing pacing = pacing_start(true, 60);
    std::uint64_t now = 1'000 * k_ms;
    pacing_after_present(&pacing, now);
    // Over two minutes, quick presents now and then (right after each picture load, say), even
    // seven in a row, never make a run of eight.
    for (int frame = 1; frame < 7'200; ++frame) {
        const bool quick = frame % 100 < 7 || frame % 100 == 50;
        now += quick ? 2 * k_ms : k_period_60hz;
        ASSERT_EQ(pacing_after_present(&pacing, now), now) << "frame " << frame;
    }
    EXPECT_FALSE(pacing.pacing);

    // Eight in a row: the eighth already waits, and so does every frame after it.
    for (int quick = 1; quick < k_quick_presents_to_pace; ++quick) {
        now += 1 * k_ms;
        ASSERT_EQ(pacing_after_present(&pacing, now), now) << "quick present " << quick;
    }
    now += 1 * k_ms;
    EXPECT_EQ(pacing_after_present(&pacing, now), now);
    EXPECT_TRUE(pacing.pacing);
    EXPECT_EQ(pacing_after_present(&pacing, now + 1 * k_ms), now + k_period_60hz);
    EXPECT_EQ(pacing_after_present(&pacing, now + k_period_60hz + 1 * k_ms), now + 2 * k_period_60hz);
}

}  // namespace
