#pragma once
// Notifications for the host: each one is handed to the host's callbacks from its event loop
// (wkeWake), one at a time and in order, never from inside another engine call. A descriptor
// is readable while any waits.
#include <deque>
#include <functional>
#include <optional>

namespace engine {

class Page;
using Notification = std::function<void(Page&)>;

class NotificationQueue {
  public:
    // Makes the descriptor, once: the host watches the same one for the engine's whole life.
    void Open();
    int signalFd() const { return signalFd_; }

    // `heldBridgeMessage`: a bridge message of the page held back while another page's script
    // ran (PageScripts takes its own back before it runs a script).
    void Queue(int page, Notification notification, bool heldBridgeMessage = false);
    struct Next {
        int page;
        Notification notification;
    };
    // The oldest notification of `page` (0: of any page), taken off.
    std::optional<Next> TakeNext(int page);
    // The page's oldest held bridge message, taken off; empty when none is left.
    Notification TakeHeld(int page);
    void Forget(int page);
    void Clear() { pending_.clear(); }
    bool empty() const { return pending_.empty(); }

    // Makes the descriptor readable, and readable no more.
    void Signal();
    void Drain();

  private:
    struct Pending {
        int page;
        Notification notification;
        bool heldBridgeMessage = false;
    };
    std::deque<Pending> pending_;
    int signalFd_ = -1;  // an eventfd
};

}  // namespace engine
