// The ring between the capture's thread and the encoder's: order, bounds, both ways of ending,
// and each side kept off a slot while the other holds it. Each test holds one side at its turn
// (wait_until_held) before it moves the other, so the interleaving it names happens whatever the
// load. A hand-off that goes wrong fails here within seconds instead of waiting for ever: the
// watchdog stops the ring, which lets both go.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "frame_ring.h"

namespace {

// Far beyond what these hand-offs take even on a loaded machine; only a stuck one gets here.
constexpr std::chrono::seconds k_hand_off_deadline{10};

// Stops the ring, failing the test, when the hand-off has not ended by the deadline.
class Watchdog {
public:
    explicit Watchdog(FrameRing& ring)
        : thread_([this, &ring] {
              std::unique_lock<std::mutex> hold(lock_);
              if (!changed_.wait_for(hold, k_hand_off_deadline, [this] { return ended_; })) {
                  ADD_FAILURE() << "the hand-off had not ended after " << k_hand_off_deadline.count()
                                << " s: a side waits for a turn that never comes";
                  ring.stop();
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> hold(lock_);
            ended_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool ended_ = false;
    std::thread thread_;
};

using Side = FrameRing::Side;

// One call of the ring's (begin_fill or begin_read) on a thread of its own, held waiting for its
// turn before the test goes on; let go by what the test does next.
class HeldCall {
public:
    HeldCall(FrameRing& ring, Side side)
        : ring_(ring), thread_([this, side] {
              result_ = side == Side::filler ? ring_.begin_fill() : ring_.begin_read();
              // Back before the test let it go: stopping ends the test's wait, which fails.
              if (!let_go_)
                  ring_.stop();
          }),
          held_(ring.wait_until_held(side))
    {
    }
    ~HeldCall()
    {
        if (thread_.joinable())
            let_go([this] { ring_.stop(); });
    }

    bool held() const { return held_; }

    // What the call returned once release() has let it go.
    template <typename Release>
    int let_go(Release release)
    {
        let_go_ = true;
        release();
        thread_.join();
        return result_;
    }

private:
    FrameRing& ring_;
    std::atomic<bool> let_go_{false};
    int result_ = -2;
    std::thread thread_;
    bool held_;
};

TEST(FrameRing, HandsEveryFrameOverOnceInOrderNeverMoreThanTheSlotsAhead)
{
    FrameRing ring;
    constexpr int k_frames = 200;
    int slots[k_ring_slots] = {};
    std::atomic<int> made{0};
    std::atomic<int> taken{0};
    int most_ahead = 0;
    Watchdog watchdog(ring);
    std::thread filler([&] {
        for (int n = 0; n < k_frames; ++n) {
            const int slot = ring.begin_fill();
            if (slot < 0) {
                ADD_FAILURE() << "the filler was stopped";
                break;
            }
            slots[slot] = n;
            ++made;
            ring.end_fill();
        }
        ring.finish();
    });
    std::vector<int> read;
    for (int slot; (slot = ring.begin_read()) >= 0;) {
        // A slow encoder now and then: the filler gets as far ahead as the ring lets it.
        if (read.size() % 16 == 0)
            ring.wait_until_held(Side::filler);
        most_ahead = std::max(most_ahead, made - taken);
        read.push_back(slots[slot]);
        ++taken;
        ring.end_read();
    }
    filler.join();
    ASSERT_EQ(read.size(), std::size_t{k_frames});
    for (int n = 0; n < k_frames; ++n)
        ASSERT_EQ(read[n], n);
    EXPECT_EQ(most_ahead, k_ring_slots);
}

TEST(FrameRing, AFullRingHoldsTheFillerUntilASlotIsGivenBack)
{
    FrameRing ring;
    Watchdog watchdog(ring);
    for (int n = 0; n < k_ring_slots; ++n) {
        EXPECT_EQ(ring.begin_fill(), n);
        ring.end_fill();
    }
    HeldCall fill(ring, Side::filler);
    ASSERT_TRUE(fill.held()) << "begin_fill on a full ring went on";
    EXPECT_EQ(ring.begin_read(), 0);
    EXPECT_TRUE(ring.wait_until_held(Side::filler)) << "a slot read but not given back let the filler on";
    EXPECT_EQ(fill.let_go([&] { ring.end_read(); }), 0) << "the slot given back comes round again";
}

TEST(FrameRing, FinishingLetsTheReaderEmptyTheRingAndStoppingEndsBothAtOnce)
{
    FrameRing ring;
    Watchdog watchdog(ring);
    for (int n = 0; n < 2; ++n) {
        ring.begin_fill();
        ring.end_fill();
    }
    ring.finish();
    EXPECT_EQ(ring.begin_read(), 0);
    ring.end_read();
    EXPECT_EQ(ring.begin_read(), 1);
    ring.end_read();
    EXPECT_EQ(ring.begin_read(), -1);

    // A reader that fails stops a filler waiting on a full ring, and reads nothing more itself.
    ring.reset();
    for (int n = 0; n < k_ring_slots; ++n) {
        ring.begin_fill();
        ring.end_fill();
    }
    {
        HeldCall fill(ring, Side::filler);
        ASSERT_TRUE(fill.held()) << "begin_fill on a full ring went on";
        EXPECT_EQ(fill.let_go([&] { ring.stop(); }), -1);
    }
    EXPECT_EQ(ring.begin_read(), -1) << "filled slots are left unread";
    EXPECT_EQ(ring.begin_fill(), -1);

    // A reader waiting on an empty ring is let go by finish.
    ring.reset();
    HeldCall read(ring, Side::reader);
    ASSERT_TRUE(read.held()) << "begin_read on an empty ring went on";
    EXPECT_EQ(read.let_go([&] { ring.finish(); }), -1);
}

// A slow conversion: the reader, asking while a slot is being filled, must not get it until its
// filling has ended.
TEST(FrameRing, TheReaderGetsASlotOnlyOnceItsFillingHasEnded)
{
    FrameRing ring;
    constexpr int k_frames = 12;
    constexpr int k_being_filled = -1;
    std::atomic<int> slots[k_ring_slots];
    for (auto& slot : slots)
        slot = k_being_filled;
    Watchdog watchdog(ring);
    std::thread filler([&] {
        for (int n = 0; n < k_frames; ++n) {
            const int slot = ring.begin_fill();
            if (slot < 0)
                break;
            slots[slot] = k_being_filled;
            // The reader has read all before and waits for this one.
            if (!ring.wait_until_held(Side::reader))
                break;
            slots[slot] = n;
            ring.end_fill();
        }
        ring.finish();
    });
    int expected = 0;
    const bool all_read = read_each(ring, [&](int slot) {
        const int got = slots[slot];
        EXPECT_EQ(got, expected) << "slot " << slot << " read "
                                 << (got == k_being_filled ? "while being filled" : "out of turn");
        return got == expected++;
    });
    filler.join();
    EXPECT_TRUE(all_read);
    EXPECT_EQ(expected, k_frames) << "frames read";
}

// A slow encoder beside a filler that writes into a slot the moment it comes back: what the
// reader holds must stay as it was until the reader gives it back.
TEST(FrameRing, ASlotTheReaderHoldsIsNotFilledAgainUntilItIsGivenBack)
{
    FrameRing ring;
    constexpr int k_frames = 12;
    std::atomic<int> slots[k_ring_slots];
    Watchdog watchdog(ring);
    std::thread filler([&] {
        for (int n = 0; n < k_frames; ++n) {
            const int slot = ring.begin_fill();
            if (slot < 0)
                break;
            slots[slot] = n;
            ring.end_fill();
        }
        ring.finish();
    });
    int expected = 0;
    const bool all_read = read_each(ring, [&](int slot) {
        const int n = expected++;
        if (slots[slot] != n) {
            ADD_FAILURE() << "slot " << slot << " held frame " << slots[slot] << " instead of " << n;
            return false;
        }
        // "Encoding" until the filler, having filled the others, waits for this very slot (or
        // has finished): had the ring let it take this slot, it would have been filled by now.
        ring.wait_until_held(Side::filler);
        const int after = slots[slot];
        EXPECT_EQ(after, n) << "slot " << slot << " filled again while the reader held it";
        return after == n;
    });
    filler.join();
    EXPECT_TRUE(all_read);
    EXPECT_EQ(expected, k_frames) << "frames read";
}

}  // namespace
