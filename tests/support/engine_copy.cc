#include "tests/support/engine_copy.h"

#include <dlfcn.h>
#include <poll.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

namespace testsupport {
namespace {

std::vector<EngineCopy*> loaded;  // each engine's loop runs while any waits

struct LoadResult {
    bool done = false;
    bool loaded = false;
};

void OnLoaded(wkeWebView, void* param, const wkeString, wkeLoadingResult result, const wkeString) {
    auto* r = static_cast<LoadResult*>(param);
    r->done = true;
    r->loaded = result == WKE_LOADING_SUCCEEDED;
}

}  // namespace

// The loader knows a library by its file: only a copy of the file (not a link) is a second
// engine.
EngineCopy::EngineCopy(const std::string& module) {
    char dir[] = "/tmp/qirlen-engine-copy-XXXXXX";
    if (!mkdtemp(dir)) return;
    std::string copy = std::string(dir) + "/node.so";
    std::error_code ec;
    std::filesystem::copy_file(module, copy, ec);
    if (!ec) lib_ = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    std::filesystem::remove_all(dir, ec);  // stays mapped while loaded
    if (!lib_) return;
#define QIRLEN_COPY_RESOLVE(name)                                \
    name = reinterpret_cast<decltype(name)>(dlsym(lib_, #name)); \
    if (!name) lib_ = nullptr;
    QIRLEN_COPY_RESOLVE(wkeInitializeEx)
    QIRLEN_COPY_RESOLVE(wkeShutdown)
    QIRLEN_COPY_RESOLVE(wkeCreateWebWindow)
    QIRLEN_COPY_RESOLVE(wkeLoadURL)
    QIRLEN_COPY_RESOLVE(wkeOnLoadingFinish)
    QIRLEN_COPY_RESOLVE(wkeRunJsByFrame)
    QIRLEN_COPY_RESOLVE(wkeGlobalExec)
    QIRLEN_COPY_RESOLVE(jsToString)
    QIRLEN_COPY_RESOLVE(wkeEngineFailure)
    QIRLEN_COPY_RESOLVE(wkeGetEventFd)
    QIRLEN_COPY_RESOLVE(wkeWake)
    QIRLEN_COPY_RESOLVE(wkeJsBindFunction)
    QIRLEN_COPY_RESOLVE(jsUndefined)
    QIRLEN_COPY_RESOLVE(jsArg)
    QIRLEN_COPY_RESOLVE(jsString)
#undef QIRLEN_COPY_RESOLVE
    if (lib_) loaded.push_back(this);
}

EngineCopy::~EngineCopy() {
    std::erase(loaded, this);
}

bool EngineCopy::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        std::vector<pollfd> fds;
        for (EngineCopy* e : loaded) fds.push_back({e->wkeGetEventFd(), POLLIN, 0});
        poll(fds.data(), fds.size(), static_cast<int>(left.count()));
        for (EngineCopy* e : loaded) e->wkeWake(nullptr);
    }
    return true;
}

bool EngineCopy::Load(wkeWebView view, const std::string& url) {
    LoadResult result;
    wkeOnLoadingFinish(view, OnLoaded, &result);
    wkeLoadURL(view, url.c_str());
    PumpUntil([&] { return result.done; });
    wkeOnLoadingFinish(view, nullptr, nullptr);
    return result.loaded;
}

std::string EngineCopy::Eval(wkeWebView view, const std::string& script) {
    jsValue v = wkeRunJsByFrame(view, 1, script.c_str(), true);
    const char* text = jsToString(wkeGlobalExec(view), v);
    return text ? text : "";
}

}  // namespace testsupport
