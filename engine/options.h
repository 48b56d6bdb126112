#pragma once
// What the host (the wkeSettings of wkeInitializeEx) and the environment (QIRLEN_*) ask of the
// engine: one record, read at every start of a browser and handed down to each room as the
// plain values it needs. Nothing else of the engine reads the environment.
#include <cstddef>
#include <string>
#include <vector>

#include "engine/capi/wke.h"
#include "engine/transport/transport.h"

namespace engine {

struct EngineOptions {
    // The browser to start: QIRLEN_CHROMIUM (a path, or a name looked up on PATH); empty for
    // the usual search.
    std::string chromium;
    // Switches after the engine's own: QIRLEN_CHROMIUM_ARGS, split as a shell splits words.
    std::vector<std::string> chromiumArgs;
    // QIRLEN_CHROMIUM_LOG set: Chromium's own messages go to stderr instead of nowhere.
    bool chromiumLog = false;
    // The proxy of every request the browser makes, as Chromium's --proxy-server takes it
    // (scheme://host:port): the proxy of the host's wkeSettings; empty for none.
    std::string proxy;
    // QIRLEN_BROWSER_URL: a browser elsewhere to attach to instead of starting one.
    std::string browserUrl;
    // The longest message taken from a browser: QIRLEN_MAX_MESSAGE_BYTES, or 512 MiB.
    size_t maxMessageBytes = kDefaultMaxMessageBytes;
    // How long a script may run before it is stopped: QIRLEN_SCRIPT_TIMEOUT_MS, or 6000.
    int scriptTimeoutMs = 6000;
    // QIRLEN_ENGINE_QUIET (set, and not "0"): the engine's failure is not said on stderr.
    bool quiet = false;
    // QIRLEN_PROTOCOL_LOG set: every protocol message, and every exception the engine goes on
    // after, is written to stderr.
    bool protocolLog = false;
};

// The options as the environment gives them now, with what `settings` (may be null) carries.
EngineOptions ReadEngineOptions(const wkeSettings* settings = nullptr);

// Where accepted downloads go: QIRLEN_DOWNLOAD_DIR, else ~/Downloads. Looked up for each
// download rather than at the start: a host may move its downloads while the engine runs.
std::string DownloadDirectory();

// Splits like a shell does, quotes included, so that a switch may hold blanks:
// '--host-resolver-rules=MAP host 127.0.0.1'.
std::vector<std::string> SplitWords(const char* text);

}  // namespace engine
