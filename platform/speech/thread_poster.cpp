#include "platform/speech/thread_poster.h"

namespace lexavo::sp {
namespace {
thread_local std::shared_ptr<ThreadPoster> t_poster;
}

std::shared_ptr<ThreadPoster> CurrentThreadPoster() { return t_poster; }
void SetCurrentThreadPoster(std::shared_ptr<ThreadPoster> poster) { t_poster = std::move(poster); }

void MessageQueue::Post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    posted_.notify_one();
}

int MessageQueue::RunPending() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    for (auto& task : batch) task();
    return static_cast<int>(batch.size());
}

bool MessageQueue::RunOne(std::chrono::milliseconds timeout) {
    std::function<void()> task;
    {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_for(lock, timeout, [&] { return !tasks_.empty(); })) return false;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
    return true;
}

}  // namespace lexavo::sp
