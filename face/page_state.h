#pragma once
// What the face keeps for one page: its view, what its events said (documents, loads,
// statuses, crashes), the isolated worlds its reads run in, and the program's callbacks.
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "face/browser_state.h"
#include "qirlen/qirlen.h"

namespace qirlen::detail {

using json = nlohmann::json;

// The world the face's own reads and actions run in, out of the page's reach.
constexpr const char* kFaceWorld = "qirlen-face";

struct PageState {
    PageState(std::shared_ptr<BrowserState> browser, wkeWebView view);
    ~PageState();
    PageState(const PageState&) = delete;
    PageState& operator=(const PageState&) = delete;

    // A protocol command to the page; its result, or the error it came to.
    Result<json> Call(const std::string& method, const json& params = json::object(),
                      int timeoutMs = kDefaultNavigationTimeoutMs);
    void Post(const std::string& method, const json& params = json::object());
    // Runs the browser's events until `done` holds; Timeout with `waitingFor` when it does
    // not in time, Crashed or BrowserGone when the page or browser ends meanwhile.
    Result<void> Wait(const std::function<bool()>& done, int timeoutMs,
                      const std::string& waitingFor);
    // An error for why the page cannot be used now, if it cannot.
    std::optional<Error> Unusable() const;

    // The execution context of the face's world in a frame's current document, with the
    // face's operations installed: made once per document.
    Result<int> WorldOf(const std::string& frameId);

    void OnEvent(const std::string& method, const json& params);

    std::shared_ptr<BrowserState> browser;
    wkeWebView view = nullptr;

    std::string mainFrame;
    std::string loader;  // the main frame's current document
    std::string url;
    bool loaded = false;  // the current document fired its load event
    std::map<std::string, int> statusOfLoader;
    bool crashed = false, closed = false;
    int callbacksRunning = 0;
    int objectGroupDepth = 0;           // calls under way that may hold objects of the page
    bool objectsHeld = false;           // and one of them did
    std::map<std::string, int> worlds;  // frame -> context of kFaceWorld
    int eventsSeen = 0;                 // how many events the page has sent

    std::function<DialogAnswer(const Dialog&)> onDialog;
    std::function<void(const ConsoleMessage&)> onConsole;
};

// The error of a script's exceptionDetails: its first line (the exception's description).
std::string ExceptionText(const json& details);

}  // namespace qirlen::detail
