#include "frame_ring.h"

int FrameRing::begin_fill()
{
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return stopped_ || filled_ - read_ < k_ring_slots; });
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
}

int FrameRing::begin_read()
{
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return stopped_ || finished_ || read_ < filled_; });
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
}

void FrameRing::reset()
{
    std::lock_guard<std::mutex> hold(lock_);
    filled_ = 0;
    read_ = 0;
    finished_ = false;
    stopped_ = false;
}
