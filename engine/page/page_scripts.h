#pragma once
// Scripts in a page's frames: the host's runs and its reads in a world of its own, the calls
// from page script into bound functions (through the bridge), and the engine's own scripts
// that every document of the page runs.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "engine/capi/wke.h"
#include "engine/protocol/connection.h"

namespace engine {

class Page;
struct Binding;

// The world the engine's own page scripts run in, apart from the page's.
constexpr const char* kEngineWorld = "qirlen-engine";
// The world the host's own reads run in (wkeRunJsInIsolatedWorld), apart from the page's
// and from the engine's watchers.
constexpr const char* kHostReaderWorld = "qirlen-host-reader";

class PageScripts {
  public:
    explicit PageScripts(Page& page) : page_(page) {}

    // Runs the host's script in the frame; the value it returned (a protocol RemoteObject), or
    // none when it failed (lastRunFailed says so too).
    std::optional<nlohmann::json> Run(wkeWebFrameHandle frame, const std::string& utf8,
                                      bool inClosure);
    // Runs a script of the host's in the frame's kHostReaderWorld (host_world.cc).
    std::optional<nlohmann::json> RunInHostWorld(wkeWebFrameHandle frame, const std::string& utf8,
                                                 bool inClosure);
    bool lastRunFailed = false;

    // Makes every bound name callable in every frame of the page, now and after navigations.
    void EnableBridge();
    // Replaces the script that runs at the start of every document of the page (`scriptId`
    // names the one in place) and, when `runNow`, runs it in the documents already there.
    // With a `world`, it runs in that isolated world of each document instead of the page's:
    // the engine's own watchers do, and the bindings they report through exist only there,
    // out of the page's reach (a page could otherwise make the engine believe anything).
    void Install(std::string& scriptId, const std::string& source, bool runNow,
                 const char* world = nullptr);
    void AddEngineBinding(const char* name);

    // A message the page's bridge sent on the protocol binding (bridge_calls.cc).
    void OnBridgeMessage(std::string_view payload);
    void OnDebuggerPaused(const nlohmann::json& params);
    // Calls a page made that reach no function: refused, malformed, or too large to read.
    void CountDropped();
    // Hands on, in order, the page's bridge messages held back during other pages' runs.
    void DeliverHeldBridgeMessages();

    // While open, run-only functions also take the page's calls between runs.
    bool acceptBetweenRuns = false;
    int64_t droppedCalls = 0;  // calls into run-only functions refused
    // Bridge messages held back while another page's script ran; later ones queue behind.
    int deferredBridgeMessages = 0;

  private:
    // The frame a run of the host's goes to, once the page can run it (the run's values start
    // then); none when it cannot.
    std::optional<std::string> FrameToRunIn(wkeWebFrameHandle frame);
    // Evaluates a script of the host's, stopped when it runs longer than a script may.
    CallResult Evaluate(const nlohmann::json& params, int runningPage);
    // The value a run answered, or none when it failed.
    std::optional<nlohmann::json> Answer(CallResult& r);
    void DeliverUnansweredCall();
    // Whether a call made under `token` may reach `binding` now.
    bool Accepts(const Binding& binding, std::string_view token);
    // Runs the bound function a page called; its answer as a protocol argument, or nothing
    // for undefined.
    std::optional<nlohmann::json> CallBound(const nlohmann::json& payload);

    Page& page_;
    bool debuggerOn_ = false;
    std::string bridgeScriptId_;
    // The arguments the page sent just before it paused.
    std::string pendingBridgePayload_;
    // The token of the script run in progress in this page (empty between runs): run-only
    // functions accept calls made under it.
    std::string runToken_;
};

}  // namespace engine
