#include "sdk/engine_module.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <type_traits>

#include "automation/engine_binding.h"
#include "platform/module.h"
#include "platform/paths.h"

namespace qirlen::detail {
namespace {

struct Shared {
    platform::ModuleHandle module = nullptr;
    std::string moduleName;  // as the automation layer finds it again
    SessionEntries entries;
    int sessions = 0;
    // A host of the process (a browser host control) had started the engine before any
    // session: the engine is its to end, not the last session's.
    bool hostRunsEngine = false;
};

Shared& shared() {
    static Shared s;
    return s;
}

// The directory of the shared object (or program) that holds this function, with "/".
std::string OwnDirectory() {
    Dl_info info{};
    link_map* module = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&FindEngineFile), &info, reinterpret_cast<void**>(&module),
                RTLD_DL_LINKMAP) &&
        module && module->l_name && *module->l_name) {
        std::string path = module->l_name;
        auto slash = path.find_last_of('/');
        if (slash != std::string::npos) return path.substr(0, slash + 1);
    }
    return platform::ProgramDirectory();  // linked into the program itself
}

bool ResolveAll(platform::ModuleHandle module, SessionEntries& e, std::string& missing) {
    auto resolve = [&](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
            platform::ResolveEntry(module, name));
        if (!slot && missing.empty()) missing = name;
    };
    resolve(e.wkeInitializeEx, "wkeInitializeEx");
    resolve(e.wkeShutdown, "wkeShutdown");
    resolve(e.wkeCreateWebWindow, "wkeCreateWebWindow");
    resolve(e.wkeDestroyWebWindow, "wkeDestroyWebWindow");
    resolve(e.wkeLoadURLW, "wkeLoadURLW");
    resolve(e.wkeOnLoadingFinish, "wkeOnLoadingFinish");
    resolve(e.wkeSetNavigationToNewWindowEnable, "wkeSetNavigationToNewWindowEnable");
    resolve(e.wkeGetString, "wkeGetString");
    resolve(e.wkeGetEventFd, "wkeGetEventFd");
    resolve(e.wkeWake, "wkeWake");
    resolve(e.wkeEngineFailure, "wkeEngineFailure");
    return missing.empty();
}

bool LoadEngine(Shared& s, std::string& why) {
    std::string looked;
    std::string path = FindEngineFile(&looked);
    if (path.empty()) {
        why = "the engine node.so was not found (looked at " + looked +
              "; QIRLEN_ENGINE may name it)";
        return false;
    }
    // A module the process loaded already (a host control, an earlier session) is used as it
    // is: one engine per process.
    platform::ModuleHandle module = platform::FindLoadedModule(path);
    const bool loadedByHost = module != nullptr;
    if (!module) module = platform::LoadModule(path);
    if (!module) {
        why = "the engine " + path + " could not be loaded: " + platform::LastModuleError();
        return false;
    }
    std::string missing;
    if (!ResolveAll(module, s.entries, missing)) {
        why = "the engine " + path + " lacks the entry point " + missing;
        return false;
    }
    s.module = module;
    s.moduleName = path;
    s.hostRunsEngine = loadedByHost && s.entries.wkeGetEventFd() != -1;  // -1: never started
    return true;
}

}  // namespace

std::string FindEngineFile(std::string* looked) {
    std::string candidates[3];
    if (const char* named = std::getenv("QIRLEN_ENGINE"); named && *named) {
        // Named on purpose: nothing else is tried, so a wrong name is never covered up.
        candidates[0] = named;
    } else {
        std::string dir = OwnDirectory();
        candidates[0] = dir + "node.so";
        candidates[1] = dir + "qirlen/node.so";
    }
    for (const std::string& candidate : candidates) {
        if (candidate.empty()) continue;
        if (looked) *looked += (looked->empty() ? "" : ", ") + candidate;
        if (platform::FileExists(candidate)) return candidate;
    }
    return {};
}

const SessionEntries* AcquireEngine(std::string& why) {
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
