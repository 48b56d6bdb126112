#pragma once
// How a host reaches node.so: the module opened at run time (never linked), every entry point
// resolved by name into one table, and the places the module is looked for. One loader for
// the browser host control, the automation library and the library's sessions; what a host
// tells its user about a module it cannot use is the host's own. No Qt.
#include <string>

#include "engine/capi/entry_points.h"
#include "platform/module.h"

namespace engine_loader {

// The engine's file name.
constexpr const char* kFileName = "node.so";

// One slot per entry point; a slot is null when the module lacks that export.
struct EntryPoints {
#define QIRLEN_ENTRY_SLOT(name) decltype(&::name) name = nullptr;
    QIRLEN_ALL_ENGINE_ENTRIES(QIRLEN_ENTRY_SLOT)
#undef QIRLEN_ENTRY_SLOT
};

// Where a program's host control expects the engine: beside the program (UTF-8).
std::string BesideProgram();

// Where a library looks, in order: $QIRLEN_ENGINE alone when it is set (named on purpose, so
// a wrong name is never covered up), else node.so in the directory of the module holding this
// code (the library, or a program that links it statically), then in that directory's
// qirlen/. The first that exists (UTF-8), or empty; `looked` gets every path tried.
std::string FindBesideLibrary(std::string* looked);

// The engine module at `path` (a bare name follows the system's search). A module this
// process loaded already under `loadedAs` (a path, or a bare file name that matches any
// path) is used as it is, never loaded twice: one engine per process. `wasLoaded` says which.
// Null when it cannot be loaded; platform::LastModuleError() says why.
platform::ModuleHandle Open(const std::string& path, const std::string& loadedAs,
                            bool* wasLoaded = nullptr);

// The module this process loaded under `name` (as Open's `loadedAs`), or null; loads nothing.
platform::ModuleHandle Find(const std::string& name);

// Fills every slot of `table` from `module` (all null without one).
void Resolve(platform::ModuleHandle module, EntryPoints& table);

// One entry point of the module loaded under `moduleName`, looked up now; null when either
// is missing. For a host that follows whichever module the name finds at each use.
template <typename Function>
Function Lookup(const std::string& moduleName, const char* name) {
    return reinterpret_cast<Function>(platform::ResolveEntry(Find(moduleName), name));
}

// Why the engine has no browser (UTF-8); empty while it has one, and when the module lacks
// the entry point that would say.
std::string EngineFailure(const EntryPoints& table);

}  // namespace engine_loader
