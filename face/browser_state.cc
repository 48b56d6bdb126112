#include "face/browser_state.h"

#include <cstdlib>
#include <type_traits>

#include "platform/module.h"
#include "sdk/engine_module.h"

namespace qirlen::detail {
namespace {

// The entries beyond the session's own, from the module the session loaded.
bool ResolveProtocol(ProtocolEntries& e, std::string& why) {
    std::string path = FindEngineFile(nullptr);
    platform::ModuleHandle module = platform::FindLoadedModule(path);
    std::string missing;
    auto resolve = [&](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
            platform::ResolveEntry(module, name));
        if (!slot && missing.empty()) missing = name;
    };
    resolve(e.call, "qirlenProtocolCall");
    resolve(e.listen, "qirlenProtocolListen");
    resolve(e.pump, "qirlenProtocolPump");
    if (!missing.empty()) why = "the engine " + path + " lacks the entry point " + missing;
    return missing.empty();
}

}  // namespace

BrowserState::BrowserState(const std::string& browserUrl, int w, int h) : width(w), height(h) {
    // The engine reads where to attach when it starts: the first browser of the process.
    if (!browserUrl.empty()) setenv("QIRLEN_BROWSER_URL", browserUrl.c_str(), 1);
    const SessionEntries* session = AcquireEngine(error);
    if (!session) return;
    acquired_ = true;
    engine.createView = session->wkeCreateWebWindow;
    engine.destroyView = session->wkeDestroyWebWindow;
    if (!ResolveProtocol(engine, error)) return;
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
