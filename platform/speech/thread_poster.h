// How the platform runs a task on a given thread, between the messages of that thread's loop.
// A thread that wants notifications installs a poster before it registers a callback.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace lexavo::sp {

class ThreadPoster {
public:
    virtual ~ThreadPoster() = default;
    // Called from any thread; runs `task` later on the poster's thread.
    virtual void Post(std::function<void()> task) = 0;
};

// The poster of the calling thread, or null.
std::shared_ptr<ThreadPoster> CurrentThreadPoster();
void SetCurrentThreadPoster(std::shared_ptr<ThreadPoster> poster);

// A plain message queue for threads without a GUI loop; its owner pumps it.
class MessageQueue final : public ThreadPoster {
public:
    void Post(std::function<void()> task) override;
    // Runs what is queued now; returns how many tasks ran.
    int RunPending();
    // Waits up to `timeout` for a task and runs it; false when none came.
    bool RunOne(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace lexavo::sp
