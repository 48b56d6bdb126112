#pragma once
// One thread that runs jobs in the order they came: the browser's thread (the engine is used
// from one thread only) and the CDN checks'.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace serve {

class WorkQueue {
  public:
    WorkQueue();
    ~WorkQueue();  // runs what is queued, then ends the thread
    void Post(std::function<void()> job);
    // Jobs not yet begun are dropped (at shutdown, when nobody waits for them any more).
    void DropWaiting();
    size_t waiting() const;

  private:
    void Run();
    mutable std::mutex lock_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> jobs_;
    bool ending_ = false;
    std::thread thread_;
};

}  // namespace serve
