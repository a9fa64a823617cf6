#pragma once

#include <mutex>

namespace tkan {

// A test dialog's guard around each exchange with the instrument. Button
// handlers run nested inside the dialog's own waiting reads, on the same
// thread, so the lock must let its holder take it again. Depth tells a
// handler that it runs inside an exchange.
class ReentrantLock {
public:
    void lock()
    {
        mutex_.lock();
        ++depth_;
    }
    void unlock()
    {
        --depth_;
        mutex_.unlock();
    }
    int Depth() const { return depth_; }

private:
    std::recursive_mutex mutex_;
    int depth_ = 0;
};

}  // namespace tkan
