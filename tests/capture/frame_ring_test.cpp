// The ring between the capture's thread and the encoder's: order, bounds, both ways of ending,
// and each side kept off a slot while the other holds it. A hand-off that goes wrong fails here
// within seconds instead of waiting for ever: the watchdog stops the ring, which lets both go.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "frame_ring.h"

namespace {

using std::chrono::milliseconds;

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

// Waits until done() holds or the time is up.
template <typename Done>
void wait_for(Done done, milliseconds time)
{
    const auto until = std::chrono::steady_clock::now() + time;
    while (!done() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(milliseconds(1));
}

// Whether a call of begin_fill on another thread is still waiting after a while; its slot after.
struct WaitingFill {
    explicit WaitingFill(FrameRing& ring)
        : thread([this, &ring] {
              slot = ring.begin_fill();
              returned = true;
          })
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    int join()
    {
        thread.join();
        return slot;
    }
    std::atomic<bool> returned{false};
    int slot = -2;
    std::thread thread;
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
        if (read.size() % 16 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a slow encoder now and then
        most_ahead = std::max(most_ahead, made - taken);
        read.push_back(slots[slot]);
        ++taken;
        ring.end_read();
    }
    filler.join();
    ASSERT_EQ(read.size(), std::size_t{k_frames});
    for (int n = 0; n < k_frames; ++n)
        ASSERT_EQ(read[n], n);
    EXPECT_LE(most_ahead, k_ring_slots);
}

TEST(FrameRing, AFullRingHoldsTheFillerUntilASlotIsRead)
{
    FrameRing ring;
    for (int n = 0; n < k_ring_slots; ++n) {
        EXPECT_EQ(ring.begin_fill(), n);
        ring.end_fill();
    }
    WaitingFill waiting(ring);
    EXPECT_FALSE(waiting.returned);
    EXPECT_EQ(ring.begin_read(), 0);
    ring.end_read();
    EXPECT_EQ(waiting.join(), 0) << "the slot just read comes round again";
}

TEST(FrameRing, FinishingLetsTheReaderEmptyTheRingAndStoppingEndsBothAtOnce)
{
    FrameRing ring;
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
    WaitingFill waiting(ring);
    EXPECT_FALSE(waiting.returned);
    ring.stop();
    EXPECT_EQ(waiting.join(), -1);
    EXPECT_EQ(ring.begin_read(), -1) << "filled slots are left unread";
    EXPECT_EQ(ring.begin_fill(), -1);

    // A reader waiting on an empty ring is let go by finish.
    ring.reset();
    std::thread reader([&ring] { EXPECT_EQ(ring.begin_read(), -1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ring.finish();
    reader.join();
}

// A slow conversion: the reader must not see a slot until its filler has ended, whatever the
// reader asks in the meantime.
TEST(FrameRing, TheReaderGetsASlotOnlyOnceItsFillingHasEnded)
{
    FrameRing ring;
    constexpr int k_frames = 24;
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
            std::this_thread::sleep_for(milliseconds(2));
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
    std::atomic<int> filled{0};
    Watchdog watchdog(ring);
    std::thread filler([&] {
        for (int n = 0; n < k_frames; ++n) {
            const int slot = ring.begin_fill();
            if (slot < 0)
                break;
            slots[slot] = n;
            ++filled;
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
        // "Encoding": the filler could only get further than the ring's other slots by taking
        // this one, so its going past them, or this slot changing, is the fault.
        wait_for([&] { return filled > n + k_ring_slots; }, milliseconds(20));
        const int after = slots[slot];
        EXPECT_EQ(after, n) << "slot " << slot << " filled again while the reader held it";
        return after == n;
    });
    filler.join();
    EXPECT_TRUE(all_read);
    EXPECT_EQ(expected, k_frames) << "frames read";
}

}  // namespace
