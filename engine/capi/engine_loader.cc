#include "engine/capi/engine_loader.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>

#include "platform/paths.h"

namespace engine_loader {
namespace {

// The directory of the shared object (or program) that holds this function, with "/".
std::string OwnDirectory() {
    Dl_info info{};
    link_map* module = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&FindBesideLibrary), &info,
                reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) &&
        module && module->l_name && *module->l_name) {
        std::string path = module->l_name;
        auto slash = path.find_last_of('/');
        if (slash != std::string::npos) return path.substr(0, slash + 1);
    }
    return platform::ProgramDirectory();  // linked into the program itself
}

}  // namespace

std::string BesideProgram() {
    return platform::ProgramDirectory() + kFileName;
}

std::string FindBesideLibrary(std::string* looked) {
    std::string candidates[2];
    if (const char* named = std::getenv("QIRLEN_ENGINE"); named && *named) {
        candidates[0] = named;
    } else {
        std::string dir = OwnDirectory();
        candidates[0] = dir + kFileName;
        candidates[1] = dir + "qirlen/" + kFileName;
    }
    for (const std::string& candidate : candidates) {
        if (candidate.empty()) continue;
        if (looked) *looked += (looked->empty() ? "" : ", ") + candidate;
        if (platform::FileExists(candidate)) return candidate;
    }
    return {};
}

platform::ModuleHandle Open(const std::string& path, const std::string& loadedAs, bool* wasLoaded) {
    platform::ModuleHandle module = Find(loadedAs);
    if (wasLoaded) *wasLoaded = module != nullptr;
    return module ? module : platform::LoadModule(path);
}

platform::ModuleHandle Find(const std::string& name) {
    return platform::FindLoadedModule(name);
}

void Resolve(platform::ModuleHandle module, EntryPoints& table) {
#define QIRLEN_RESOLVE(name) \
    table.name = reinterpret_cast<decltype(table.name)>(platform::ResolveEntry(module, #name));
    QIRLEN_ALL_ENGINE_ENTRIES(QIRLEN_RESOLVE)
#undef QIRLEN_RESOLVE
}

std::string EngineFailure(const EntryPoints& table) {
    const char* why = table.wkeEngineFailure ? table.wkeEngineFailure() : nullptr;
    return why ? why : "";
}

}  // namespace engine_loader
