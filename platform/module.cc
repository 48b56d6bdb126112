#include "platform/module.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

namespace platform {
namespace {

struct Registry {
    std::mutex lock;
    std::map<std::string, ModuleHandle> byPath;  // as given to LoadModule
    std::string lastError;
};

Registry& registry() {
    static Registry r;
    return r;
}

std::string FileName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ModuleHandle LoadModule(const std::string& path) {
    Registry& r = registry();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    std::lock_guard guard(r.lock);
    if (!handle) {
        const char* why = dlerror();
        r.lastError = why ? why : "unknown error";
        return nullptr;
    }
    r.byPath[path] = handle;
    return handle;
}

ModuleHandle FindLoadedModule(const std::string& name) {
    if (name.empty()) return nullptr;
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    bool byFileName = name.find('/') == std::string::npos;
    for (const auto& [path, handle] : r.byPath) {
        if (path == name || (byFileName && FileName(path) == name)) return handle;
    }
    return nullptr;
}

void* ResolveEntry(ModuleHandle module, const char* name) {
    if (!module || !name) return nullptr;
    return dlsym(module, name);
}

void FreeModule(ModuleHandle module) {
    if (!module) return;
    Registry& r = registry();
    {
        std::lock_guard guard(r.lock);
        std::erase_if(r.byPath, [&](const auto& entry) { return entry.second == module; });
    }
    dlclose(module);
}

std::string LastModuleError() {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    return r.lastError;
}

}  // namespace platform
