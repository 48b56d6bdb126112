#pragma once
// How the automation layer reaches the engine: the module already loaded by a host of the
// process (the browser control, a session), found by the name it was loaded under; its table
// of entry points resolved once, and any entry point looked up by name at each use.
#include <string>

#include "engine/capi/engine_loader.h"

namespace automation {

constexpr const char* kDefaultEngineModuleName = engine_loader::kFileName;

// Finds the engine module (by `moduleName`, or node.so), resolves its entries and binds the
// ten script-bridge functions. Without the module: one message box, nothing bound.
void InitializeEngineBinding(const char* moduleName = nullptr);

const engine_loader::EntryPoints& Api();
const std::string& EngineModuleName();  // GBK

// Looks an entry point up in the module named now; null when either is missing.
template <typename Function>
Function LookupEntry(const char* name) {
    return engine_loader::Lookup<Function>(EngineModuleName(), name);
}

// Forgets the name (program end).
void ReleaseEngineBinding();

}  // namespace automation
