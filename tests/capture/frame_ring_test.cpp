// The ring between the capture's thread and the encoder's: order, bounds and both ways of ending.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "frame_ring.h"

namespace {

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

}  // namespace
