#pragma once
// Run-time module lookup, in place of LoadLibrary / GetModuleHandle / GetProcAddress.
#include <string>

namespace platform {

using ModuleHandle = void*;

// Loads a shared module by path (a bare name follows the system's search order).
// Returns null when it cannot be loaded.
ModuleHandle LoadModule(const std::string& path);

// Finds a module that this process loaded through LoadModule, by the name it was loaded
// under: the exact path, or (for a name without "/") the file name of that path.
// Never loads anything; null when no such module is loaded.
ModuleHandle FindLoadedModule(const std::string& name);

// The address of an exported entry point, or null.
void* ResolveEntry(ModuleHandle module, const char* name);

// Unloads a module loaded with LoadModule; later lookups by its name fail.
void FreeModule(ModuleHandle module);

// Why the last LoadModule failed, for messages.
std::string LastModuleError();

}  // namespace platform
