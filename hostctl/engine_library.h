#pragma once
// Loading the engine module, once per process, and its table of entry points.
#include <string>

#include "hostctl/engine_entries.h"

namespace hostctl {

class EngineLibrary {
  public:
    // The engine's file name; it lives in the program's directory.
    static constexpr const char* kFileName = "node.so";

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

}  // namespace hostctl
