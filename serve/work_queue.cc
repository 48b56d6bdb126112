#include "serve/work_queue.h"

namespace serve {

WorkQueue::WorkQueue() : thread_([this] { Run(); }) {}

WorkQueue::~WorkQueue() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        ending_ = true;
    }
    ready_.notify_all();
    thread_.join();
}

void WorkQueue::Post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
}

void WorkQueue::DropWaiting() {
    std::lock_guard<std::mutex> hold(lock_);
    jobs_.clear();
}

size_t WorkQueue::waiting() const {
    std::lock_guard<std::mutex> hold(lock_);
    return jobs_.size();
}

void WorkQueue::Run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> hold(lock_);
            ready_.wait(hold, [&] { return ending_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace serve
