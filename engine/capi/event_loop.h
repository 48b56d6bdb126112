#pragma once
// The host's event loop: one descriptor (wkeGetEventFd) that is readable while the browser
// wrote something or a notification waits, the same one for the whole life of the process,
// and wkeWake, which handles what arrived and hands the notifications to the host.
namespace engine {

class Browser;

class EventLoop {
  public:
    static EventLoop& Get();

    // -1 until the engine first starts.
    int fd() const { return epollFd_; }
    // Brings the descriptor up to date with the browser: made at its first start, watching the
    // connection of each browser while it runs. At the end of every outermost entry point.
    void Follow(Browser& browser);
    // Handles what the browser sent, then hands the host the notifications of one view (or,
    // with 0, of every view), one at a time.
    void Wake(int page);

  private:
    void Dispatch(Browser& browser, int page);

    int epollFd_ = -1;
    int watched_ = -1;           // the connection's descriptor in the set
    unsigned watchedStart_ = 0;  // of the browser's start it belongs to
};

}  // namespace engine
