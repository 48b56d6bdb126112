#include "sdk/engine_module.h"

#include "automation/engine_binding.h"

namespace qirlen::detail {
namespace {

// clang-format off
// What a session cannot start without, in the order in which a missing one is named.
#define QIRLEN_SESSION_ENTRIES(X) \
    X(wkeInitializeEx) \
    X(wkeShutdown) \
    X(wkeCreateWebWindow) \
    X(wkeDestroyWebWindow) \
    X(wkeLoadURLW) \
    X(wkeOnLoadingFinish) \
    X(wkeSetNavigationToNewWindowEnable) \
    X(wkeGetString) \
    X(wkeGetEventFd) \
    X(wkeWake) \
    X(wkeEngineFailure)
// clang-format on

struct Shared {
    platform::ModuleHandle module = nullptr;
    std::string moduleName;  // as the automation layer finds it again
    engine_loader::EntryPoints entries;
    int sessions = 0;
    // A host of the process (a browser host control) had started the engine before any
    // session: the engine is its to end, not the last session's.
    bool hostRunsEngine = false;
};

Shared& shared() {
    static Shared s;
    return s;
}

// The first entry point a session needs that the table lacks; empty when it has them all.
std::string MissingSessionEntry(const engine_loader::EntryPoints& e) {
#define QIRLEN_CHECK(name) \
    if (!e.name) return #name;
    QIRLEN_SESSION_ENTRIES(QIRLEN_CHECK)
#undef QIRLEN_CHECK
    return {};
}

bool LoadEngine(Shared& s, std::string& why) {
    std::string looked;
    std::string path = engine_loader::FindBesideLibrary(&looked);
    if (path.empty()) {
        why = "the engine node.so was not found (looked at " + looked +
              "; QIRLEN_ENGINE may name it)";
        return false;
    }
    // A module the process loaded already (a host control, an earlier session) is used as it
    // is: one engine per process.
    bool loadedByHost = false;
    platform::ModuleHandle module = engine_loader::Open(path, path, &loadedByHost);
    if (!module) {
        why = "the engine " + path + " could not be loaded: " + platform::LastModuleError();
        return false;
    }
    engine_loader::Resolve(module, s.entries);
    if (std::string missing = MissingSessionEntry(s.entries); !missing.empty()) {
        why = "the engine " + path + " lacks the entry point " + missing;
        return false;
    }
    s.module = module;
    s.moduleName = path;
    s.hostRunsEngine = loadedByHost && s.entries.wkeGetEventFd() != -1;  // -1: never started
    return true;
}

}  // namespace

const engine_loader::EntryPoints* AcquireEngine(std::string& why) {
    Shared& s = shared();
    if (!s.module && !LoadEngine(s, why)) return nullptr;
    if (s.sessions == 0) {
        wkeSettings settings{};
        s.entries.wkeInitializeEx(&settings);  // does nothing when a host started it already
        // Bound once for the process; the bindings outlive a shutdown of the engine.
        if (!automation::Api().wkeRunJsByFrame)
            automation::InitializeEngineBinding(s.moduleName.c_str());
    }
    ++s.sessions;
    return &s.entries;
}

void ReleaseEngine() {
    Shared& s = shared();
    if (s.sessions == 0) return;
    if (--s.sessions == 0 && !s.hostRunsEngine) s.entries.wkeShutdown();
}

}  // namespace qirlen::detail
