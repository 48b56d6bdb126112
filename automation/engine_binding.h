#pragma once
// How the automation layer reaches the engine: the module already loaded by the browser
// control, found by the name it was loaded under; seven entry points resolved once, every
// other one looked up by name at each use.
#include <string>

#include "engine/capi/wke.h"
#include "platform/module.h"

namespace automation {

struct EngineApi {
    decltype(&::wkeRunJsByFrame) wkeRunJsByFrame = nullptr;
    decltype(&::wkeGlobalExec) wkeGlobalExec = nullptr;
    decltype(&::jsToTempStringW) jsToTempStringW = nullptr;
    decltype(&::jsArg) jsArg = nullptr;
    decltype(&::jsUndefined) jsUndefined = nullptr;
    decltype(&::jsStringW) jsStringW = nullptr;
    decltype(&::wkeSetDebugConfig) wkeSetDebugConfig = nullptr;
};

constexpr const char* kDefaultEngineModuleName = "node.so";

// Finds the engine module (by `moduleName`, or node.so), resolves the seven entries and
// binds the ten script-bridge functions. Without the module: one message box, nothing bound.
void InitializeEngineBinding(const char* moduleName = nullptr);

const EngineApi& Api();
const std::string& EngineModuleName();  // GBK

// Looks an entry point up in the module named now; null when either is missing.
template <typename Function>
Function LookupEntry(const char* name) {
    platform::ModuleHandle module = platform::FindLoadedModule(EngineModuleName());
    return reinterpret_cast<Function>(platform::ResolveEntry(module, name));
}

// Forgets the name and the entries (program end).
void ReleaseEngineBinding();

}  // namespace automation
