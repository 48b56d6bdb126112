#include "engine/capi/event_loop.h"

#include <sys/epoll.h>

#include "engine/browser/browser.h"

namespace engine {

EventLoop& EventLoop::Get() {
    static EventLoop* loop = new EventLoop();  // lives until the process ends
    return *loop;
}

void EventLoop::Follow(Browser& browser) {
    if (!browser.initialized()) return;  // nothing to watch before the engine starts
    if (epollFd_ < 0) {
        epollFd_ = epoll_create1(EPOLL_CLOEXEC);
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = browser.notifications().signalFd();
        epoll_ctl(epollFd_, EPOLL_CTL_ADD, ev.data.fd, &ev);
    }
    int fd = browser.connectionFd();
    if (fd == watched_ && browser.starts() == watchedStart_) return;
    // A descriptor closed with its browser has left the set by itself; its number may belong
    // to the next browser's by now.
    if (watched_ >= 0) epoll_ctl(epollFd_, EPOLL_CTL_DEL, watched_, nullptr);
    watched_ = fd;
    watchedStart_ = browser.starts();
    if (fd < 0) return;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &ev);
}

void EventLoop::Wake(int page) {
    Browser& browser = Browser::Get();
    if (!browser.initialized()) return;  // nothing to wake: the engine starts with wkeInitializeEx
    // From inside a bound function: notifications wait for the loop.
    if (browser.boundFunctions().running()) return;
    if (!browser.browserDead()) browser.connection().Pump(0);
    Dispatch(browser, page);
}

void EventLoop::Dispatch(Browser& browser, int page) {
    NotificationQueue& queue = browser.notifications();
    // One at a time: a notification may queue others, destroy views or run scripts.
    while (auto next = queue.TakeNext(page))
        if (Page* target = browser.FindById(next->page)) next->notification(*target);
    if (queue.empty() && !browser.HasUnread()) queue.Drain();
}

}  // namespace engine
