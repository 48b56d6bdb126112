#pragma once
// The engine as the sessions of a process share it: the module found and loaded once, its
// entry points, started while at least one session lives.
#include <string>

#include "engine/capi/engine_loader.h"

namespace qirlen::detail {

// Takes a share of the engine: the first one finds the module (beside this library, see
// engine_loader::FindBesideLibrary) or the one the process loaded there already, resolves the
// entries, starts the engine and binds the automation library to it. Null with `why` (UTF-8)
// when it cannot, or when the module lacks an entry point a session needs.
const engine_loader::EntryPoints* AcquireEngine(std::string& why);
// Gives the share back; the last one shuts the engine down, unless a host of the process had
// started it before the first session.
void ReleaseEngine();

}  // namespace qirlen::detail
