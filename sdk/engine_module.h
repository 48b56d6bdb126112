#pragma once
// The engine as the sessions of a process share it: the module found and loaded once, the
// entry points a session needs, started while at least one session lives.
#include <string>

#include "engine/capi/wke.h"

namespace qirlen::detail {

struct SessionEntries {
    decltype(&::wkeInitializeEx) wkeInitializeEx = nullptr;
    decltype(&::wkeShutdown) wkeShutdown = nullptr;
    decltype(&::wkeCreateWebWindow) wkeCreateWebWindow = nullptr;
    decltype(&::wkeDestroyWebWindow) wkeDestroyWebWindow = nullptr;
    decltype(&::wkeLoadURLW) wkeLoadURLW = nullptr;
    decltype(&::wkeOnLoadingFinish) wkeOnLoadingFinish = nullptr;
    decltype(&::wkeSetNavigationToNewWindowEnable) wkeSetNavigationToNewWindowEnable = nullptr;
    decltype(&::wkeGetString) wkeGetString = nullptr;
    decltype(&::wkeGetEventFd) wkeGetEventFd = nullptr;
    decltype(&::wkeWake) wkeWake = nullptr;
    decltype(&::wkeEngineFailure) wkeEngineFailure = nullptr;
};

// Where the engine is looked for, in order: $QIRLEN_ENGINE, then node.so in the directory
// of the module holding this code (the library, or a program that links it statically), then
// in that directory's qirlen/. Paths in UTF-8.
std::string FindEngineFile(std::string* looked);

// Takes a share of the engine: the first one loads the module (or finds it loaded), resolves
// the entries, starts the engine and binds the automation library to it. Null with `why`
// (UTF-8) when it cannot.
const SessionEntries* AcquireEngine(std::string& why);
// Gives the share back; the last one shuts the engine down, unless a host of the process had
// started it before the first session.
void ReleaseEngine();

}  // namespace qirlen::detail
