#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// Hands a fixed set of slots, numbered 0 to k_ring_slots - 1 and used in turn, from the thread that
// fills them to the thread that empties them, in order. What a slot holds is the caller's, made
// once; the ring only says whose turn it is. A full ring makes the filler wait, an empty one the
// reader. The filler says when no more will come (finish), the reader when it gives up (stop).
inline constexpr int k_ring_slots = 3;

class FrameRing {
public:
    // The filler: the next empty slot, waiting for one; -1 once the reader has stopped.
    int begin_fill();
    // The slot from begin_fill is ready to read.
    void end_fill();
    // No more slots will be filled: the reader reads what is left, then gets -1.
    void finish();

    // The reader: the next filled slot, waiting for one; -1 once all are read after finish, or
    // at once after stop.
    int begin_read();
    // The slot from begin_read may be filled again.
    void end_read();
    // The reader will read no more: the filler and the reader get -1 from now on.
    void stop();

    // Empty and running again, for the next video.
    void reset();

    enum class Side { filler, reader };
    // Waits until side's call (begin_fill, or begin_read) waits for a turn that has not come, or
    // the ring is finished or stopped; whether it is held so. Lets a test hold one side at its
    // turn before it moves the other, whatever the machine's load.
    bool wait_until_held(Side side);

private:
    bool fill_turn() const { return stopped_ || filled_ - read_ < k_ring_slots; }
    bool read_turn() const { return stopped_ || finished_ || read_ < filled_; }
    // Waits on changed_ until turn() holds, saying so in waits meanwhile.
    void wait_for_turn(std::unique_lock<std::mutex>& hold, bool (FrameRing::*turn)() const, bool* waits);

    std::mutex lock_;
    std::condition_variable changed_;
    // What wait_until_held waits on, apart from changed_: sharing it, a reader waiting on an empty
    // ring was seen to sleep through finish on a loaded machine.
    std::condition_variable held_changed_;
    std::uint64_t filled_ = 0;  // slots filled so far
    std::uint64_t read_ = 0;    // slots read so far
    bool finished_ = false;
    bool stopped_ = false;
    bool filler_waits_ = false;
    bool reader_waits_ = false;
};

// The reader's loop, called on the reader's thread: each filled slot in order to use(slot), which
// says whether it succeeded. A slot is given back only once use has returned, as the filler
// writes into it as soon as it comes back; a use that fails stops the ring. Ends when the ring is
// finished and empty or stopped; false when a use failed.
template <typename Use>
bool read_each(FrameRing& ring, Use&& use)
{
    for (int slot; (slot = ring.begin_read()) >= 0;) {
        const bool used = use(slot);
        ring.end_read();
        if (!used) {
            ring.stop();
            return false;
        }
    }
    return true;
}
