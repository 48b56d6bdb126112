#include "tests/support/engine_session.h"

#include <poll.h>

#include <vector>

namespace testsupport {

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) return false;
        pollfd pfd{wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, static_cast<int>(std::min<long>(left, 100)));
        wkeWake(nullptr);
    }
    return true;
}

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

LoadWatcher::LoadWatcher(wkeWebView view) : view_(view) {
    wkeOnLoadingFinish(view, OnFinish, this);
}
LoadWatcher::~LoadWatcher() {
    wkeOnLoadingFinish(view_, nullptr, nullptr);
}

void LoadWatcher::OnFinish(wkeWebView, void* self, const wkeString url, wkeLoadingResult result,
                           const wkeString reason) {
    auto* w = static_cast<LoadWatcher*>(self);
    LoadOutcome o;
    o.count = static_cast<int>(w->all_.size()) + 1;
    o.result = result;
    o.url = wkeGetString(url);
    o.reason = wkeGetString(reason);
    w->all_.push_back(o);
}

LoadOutcome LoadWatcher::Wait(int timeoutMs) {
    size_t seen = all_.size();
    PumpUntil([&] { return all_.size() > seen; }, timeoutMs);
    return all_.size() > seen ? all_.back() : LoadOutcome{};
}

int LoadAndWait(wkeWebView view, const std::string& url) {
    LoadWatcher watcher(view);
    wkeLoadURL(view, url.c_str());
    return watcher.Wait().result;
}

std::string Eval(wkeWebView view, const std::string& script, wkeWebFrameHandle frame,
                 bool inClosure) {
    jsValue v = wkeRunJsByFrame(view, frame, script.c_str(), inClosure);
    return jsToString(wkeGlobalExec(view), v);
}

}  // namespace testsupport
