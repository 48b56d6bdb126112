#pragma once
// One engine of its own in this process: a private copy of node.so, loaded by entry-point
// names as a host loads it. Two copies are two engines, as two programs on two machines
// would be, attached to the same browser.
#include <functional>
#include <string>

#include "engine/capi/wke.h"

namespace testsupport {

class EngineCopy {
  public:
    // Copies `module` under a directory of its own and loads it; ok() tells whether it did.
    explicit EngineCopy(const std::string& module);
    ~EngineCopy();
    bool ok() const { return lib_ != nullptr; }

#define QIRLEN_COPY_ENTRY(name) decltype(&::name) name = nullptr;
    QIRLEN_COPY_ENTRY(wkeInitializeEx)
    QIRLEN_COPY_ENTRY(wkeShutdown)
    QIRLEN_COPY_ENTRY(wkeCreateWebWindow)
    QIRLEN_COPY_ENTRY(wkeLoadURL)
    QIRLEN_COPY_ENTRY(wkeOnLoadingFinish)
    QIRLEN_COPY_ENTRY(wkeRunJsByFrame)
    QIRLEN_COPY_ENTRY(wkeGlobalExec)
    QIRLEN_COPY_ENTRY(jsToString)
    QIRLEN_COPY_ENTRY(wkeEngineFailure)
    QIRLEN_COPY_ENTRY(wkeGetEventFd)
    QIRLEN_COPY_ENTRY(wkeWake)
    QIRLEN_COPY_ENTRY(wkeJsBindFunction)
    QIRLEN_COPY_ENTRY(jsUndefined)
    QIRLEN_COPY_ENTRY(jsArg)
    QIRLEN_COPY_ENTRY(jsString)
#undef QIRLEN_COPY_ENTRY

    wkeWebView NewView() {
        return wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 800, 600);
    }
    // Dispatches notifications as a host's loop does until `done` or `timeoutMs`; every other
    // engine loaded here gets its own loop's turn too, as in a program of its own.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 15000);
    // Loads `url` and waits for its notification: true when it loaded.
    bool Load(wkeWebView view, const std::string& url);
    // Runs a script in a closure; its result as text.
    std::string Eval(wkeWebView view, const std::string& script);
    std::string failure() {
        return wkeEngineFailure();
    }

  private:
    void* lib_ = nullptr;
};

}  // namespace testsupport
