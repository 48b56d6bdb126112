#pragma once
// The engine as the browser host control loads it: once per process, from beside the program,
// with a message for a missing file and for each missing entry point of the control's set.
#include <string>

#include "engine/capi/engine_loader.h"

namespace hostctl {

// The loader's table, under the name the program's code gives it.
using EngineEntries = engine_loader::EntryPoints;

class EngineLibrary {
  public:
    // The engine's file name; it lives in the program's directory.
    static constexpr const char* kFileName = engine_loader::kFileName;

    // Loads the module and resolves its entry points the first time; later calls find it
    // loaded and do nothing. Messages for a missing file or entry point go to the
    // platform's message-box sink. True when the engine is loaded.
    static bool Load();

    // Replaces a browser that died with a new one: the engine is shut down and started
    // again, and views made before stay dead. False when the engine is not loaded.
    static bool Restart();

    static bool loaded();
    // The entry points; every slot is null while the engine is not loaded.
    static const EngineEntries& entries();

    // Where the engine was looked for (GBK), for messages and tests.
    static const std::string& path();

  private:
    static void Initialize();
};

// Shorthand for the table.
inline const EngineEntries& Engine() {
    return EngineLibrary::entries();
}

// Why the engine has no browser (UTF-8); empty while it has one.
inline std::string EngineFailure() {
    return engine_loader::EngineFailure(Engine());
}

}  // namespace hostctl
