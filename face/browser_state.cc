#include "face/browser_state.h"

#include <cstdlib>

#include "sdk/engine_module.h"

namespace qirlen::detail {
namespace {

// The entries of the protocol beyond the session's own: an engine older than this face lacks
// them.
bool ResolveProtocol(const engine_loader::EntryPoints& session, ProtocolEntries& e,
                     std::string& why) {
    e.createView = session.wkeCreateWebWindow;
    e.destroyView = session.wkeDestroyWebWindow;
    e.call = session.qirlenProtocolCall;
    e.listen = session.qirlenProtocolListen;
    e.pump = session.qirlenProtocolPump;
    const char* missing = !e.call     ? "qirlenProtocolCall"
                          : !e.listen ? "qirlenProtocolListen"
                          : !e.pump   ? "qirlenProtocolPump"
                                      : nullptr;
    if (missing) why = std::string("the engine lacks the entry point ") + missing;
    return !missing;
}

}  // namespace

BrowserState::BrowserState(const std::string& browserUrl, int w, int h) : width(w), height(h) {
    // The engine reads where to attach when it starts: the first browser of the process.
    if (!browserUrl.empty()) setenv("QIRLEN_BROWSER_URL", browserUrl.c_str(), 1);
    const engine_loader::EntryPoints* session = AcquireEngine(error);
    if (!session) return;
    acquired_ = true;
    if (!ResolveProtocol(*session, engine, error)) return;
    if (const char* failure = session->wkeEngineFailure(); failure && *failure) error = failure;
}

BrowserState::~BrowserState() {
    if (acquired_) ReleaseEngine();
}

bool RunUntil(const ProtocolEntries& engine, const std::function<bool()>& done, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done()) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        // Conditions change with what the browser says: the pump returns as soon as it says
        // something, so an answer that has come is never waited for longer.
        if (!engine.pump(static_cast<int>(left.count()))) return done();
    }
}

}  // namespace qirlen::detail
