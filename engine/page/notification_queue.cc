#include "engine/page/notification_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace engine {

void NotificationQueue::Open() {
    if (signalFd_ < 0) signalFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

void NotificationQueue::Queue(int page, Notification notification, bool heldBridgeMessage) {
    pending_.push_back({page, std::move(notification), heldBridgeMessage});
    Signal();
}

std::optional<NotificationQueue::Next> NotificationQueue::TakeNext(int page) {
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [page](const Pending& p) { return page == 0 || p.page == page; });
    if (it == pending_.end()) return std::nullopt;
    Next next{it->page, std::move(it->notification)};
    pending_.erase(it);
    return next;
}

Notification NotificationQueue::TakeHeld(int page) {
    auto it = std::find_if(pending_.begin(), pending_.end(), [page](const Pending& p) {
        return p.page == page && p.heldBridgeMessage;
    });
    if (it == pending_.end()) return nullptr;
    Notification held = std::move(it->notification);
    pending_.erase(it);
    return held;
}

void NotificationQueue::Forget(int page) {
    std::erase_if(pending_, [page](const Pending& p) { return p.page == page; });
}

void NotificationQueue::Signal() {
    uint64_t one = 1;
    if (signalFd_ >= 0) (void)!write(signalFd_, &one, sizeof one);
}

void NotificationQueue::Drain() {
    uint64_t drained;
    if (signalFd_ >= 0) (void)!read(signalFd_, &drained, sizeof drained);
}

}  // namespace engine
