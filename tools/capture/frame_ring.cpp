#include "frame_ring.h"

void FrameRing::wait_for_turn(std::unique_lock<std::mutex>& hold, bool (FrameRing::*turn)() const, bool* waits)
{
    if ((this->*turn)())
        return;
    *waits = true;
    held_changed_.notify_all();
    changed_.wait(hold, [this, turn] { return (this->*turn)(); });
    *waits = false;
}

int FrameRing::begin_fill()
{
    std::unique_lock<std::mutex> hold(lock_);
    wait_for_turn(hold, &FrameRing::fill_turn, &filler_waits_);
    return stopped_ ? -1 : static_cast<int>(filled_ % k_ring_slots);
}

void FrameRing::end_fill()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        ++filled_;
    }
    changed_.notify_all();
}

void FrameRing::finish()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        finished_ = true;
    }
    changed_.notify_all();
    held_changed_.notify_all();
}

int FrameRing::begin_read()
{
    std::unique_lock<std::mutex> hold(lock_);
    wait_for_turn(hold, &FrameRing::read_turn, &reader_waits_);
    return stopped_ || read_ == filled_ ? -1 : static_cast<int>(read_ % k_ring_slots);
}

void FrameRing::end_read()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        ++read_;
    }
    changed_.notify_all();
}

void FrameRing::stop()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopped_ = true;
    }
    changed_.notify_all();
    held_changed_.notify_all();
}

void FrameRing::reset()
{
    std::lock_guard<std::mutex> hold(lock_);
    filled_ = 0;
    read_ = 0;
    finished_ = false;
    stopped_ = false;
}

bool FrameRing::wait_until_held(Side side)
{
    std::unique_lock<std::mutex> hold(lock_);
    // A side woken but not yet running still says it waits; its turn having come, it is not held.
    const auto held = [this, side] {
        return side == Side::filler ? filler_waits_ && !fill_turn() : reader_waits_ && !read_turn();
    };
    held_changed_.wait(hold, [this, &held] { return stopped_ || finished_ || held(); });
    return held();
}
