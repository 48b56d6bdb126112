// Settings a view applies to its pages.
#include <chrono>
#include <utility>

#include "engine/browser/engine.h"

extern "C" const char engine_device_js[];
extern "C" const char engine_hover_js[];

namespace engine {

void Engine::SendSetting(View& view, const std::string& method, const nlohmann::json& params,
                         std::function<void(const CallResult&)> onAnswer) {
    if (!settingsUnanswered_) {
        CallResult answer = Call(view, method, params);
        if (onAnswer) onAnswer(answer);
        return;
    }
    auto unanswered = settingsUnanswered_;
    ++*unanswered;
    int sent = connection_.Post(method, params, view.session,
                                [unanswered, onAnswer](const CallResult& answer) {
                                    --*unanswered;
                                    if (onAnswer) onAnswer(answer);
                                });
    if (sent < 0) --*unanswered;
}

namespace {
constexpr auto kLongestSettingsWait = std::chrono::seconds(30);
}  // namespace

// Everything set on a view before it had its page, applied when it gets one. The page
// answers each setting only once its renderer has taken it, so they are sent together and
// their answers awaited together: the view's first load starts once all are in place.
void Engine::ApplySettings(View& view) {
    // Another view may attach while this one's settings are sent (a call among them lets
    // events in): its batch is its own.
    auto outer = std::exchange(settingsUnanswered_, std::make_shared<int>(0));
    SendSettings(view);
    auto unanswered = std::exchange(settingsUnanswered_, outer);
    auto deadline = std::chrono::steady_clock::now() + kLongestSettingsWait;
    while (*unanswered > 0 && !dead_ && !view.session.empty()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || !connection_.Pump(static_cast<int>(left))) break;
    }
    if (view.reloadWhenAttached) {
        view.reloadWhenAttached = false;
        Reload(view);
    }
}

void Engine::SendSettings(View& view) {
    ApplySize(view);
    ApplyUserAgent(view);
    if (view.touch) ApplyTouch(view);
    if (view.device.platform || view.device.maxTouchPoints || view.device.hardwareConcurrency ||
        view.device.screenWidth || view.device.screenHeight || view.device.availWidth ||
        view.device.availHeight)
        ApplyDeviceProfile(view);
    if (view.scriptDisabled)
        SendSetting(view, "Emulation.setScriptExecutionDisabled", {{"value", true}});
    if (view.cspBypassed) SendSetting(view, "Page.setBypassCSP", {{"enabled", true}});
    if (!view.cookiesEnabled)
        SendSetting(view, "Emulation.setDocumentCookieDisabled", {{"disabled", true}});
    if (view.transparent)
        SendSetting(view, "Emulation.setDefaultBackgroundColorOverride",
                    {{"color", {{"r", 0}, {"g", 0}, {"b", 0}, {"a", 0}}}});
    ApplyRequestHooks(view);
    if (!bindings_.empty()) EnableBridge(view);
    view.hoverWatched = false;
    ApplyHoverWatch(view);
    view.lifecycleOn = false;
    ApplyLifecycleEvents(view);
    view.screencasting = false;
    ApplyScreencast(view);
    RestoreCookies(view);
    RestoreLocalStorage(view);
}

void Engine::ApplyUserAgent(View& view) {
    if (view.session.empty() || (view.userAgent.empty() && !view.device.platform)) return;
    nlohmann::json params = {{"userAgent", view.userAgent}};
    if (view.userAgent.empty()) {
        CallResult version = connection_.Call("Browser.getVersion", {}, "");
        params["userAgent"] = version.ok ? version.result.value("userAgent", "") : "";
    }
    if (view.device.platform) params["platform"] = *view.device.platform;
    SendSetting(view, "Emulation.setUserAgentOverride", params);
}

// The page's viewport is exactly the view's size, whatever the headless window adds around it.
void Engine::ApplySize(View& view) {
    SendSetting(view, "Emulation.setDeviceMetricsOverride",
                {{"width", view.width},
                 {"height", view.height},
                 {"deviceScaleFactor", 1},
                 {"mobile", false}});
}

void Engine::ApplyTouch(View& view) {
    int points = std::clamp(view.device.maxTouchPoints.value_or(1), 1, 16);
    SendSetting(view, "Emulation.setTouchEmulationEnabled",
                {{"enabled", view.touch}, {"maxTouchPoints", points}});
}

void Engine::ApplyDeviceProfile(View& view) {
    const DeviceProfile& d = view.device;
    nlohmann::json o = nlohmann::json::object();
    if (d.platform) o["platform"] = *d.platform;
    if (d.maxTouchPoints) o["maxTouchPoints"] = *d.maxTouchPoints;
    if (d.hardwareConcurrency) o["hardwareConcurrency"] = *d.hardwareConcurrency;
    if (d.screenWidth) o["width"] = *d.screenWidth;
    if (d.screenHeight) o["height"] = *d.screenHeight;
    if (d.availWidth) o["availWidth"] = *d.availWidth;
    if (d.availHeight) o["availHeight"] = *d.availHeight;
    std::string source = std::string("(") + engine_device_js + ")(" +
                         o.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + ");";
    InstallPageScript(view, view.deviceScriptId, source, false);
}

void Engine::ApplyDebugConfig(View& view, const std::string& name, const char* value) {
    bool off = value && (std::string(value) == "0" || std::string(value) == "false");
    if (name == "jsEnable") {
        view.scriptDisabled = off;
        Call(view, "Emulation.setScriptExecutionDisabled", {{"value", off}});
    } else if (name == "imageEnable") {
        view.imagesBlocked = off;
        ApplyRequestHooks(view);
    }
}

// Every request is held before it is sent: a public page's requests to the local network are
// refused there (see network_guard.cc), and the host's hooks see them. Responses are held
// only for the host's hook: each held one costs a round trip.
void Engine::ApplyRequestHooks(View& view) {
    nlohmann::json patterns = nlohmann::json::array();
    patterns.push_back({{"urlPattern", "*"}, {"requestStage", "Request"}});
    if (view.on.loadUrlEnd) patterns.push_back({{"urlPattern", "*"}, {"requestStage", "Response"}});
    SendSetting(view, "Fetch.enable", {{"patterns", patterns}});
}

void Engine::ApplyHoverWatch(View& view) {
    if (view.hoverWatched || !view.on.mouseOverUrl || view.session.empty()) return;
    view.hoverWatched = true;
    AddEngineBinding(view, "__qirlenHover");
    InstallPageScript(view, view.hoverScriptId, engine_hover_js, true, kEngineWorld);
}

void Engine::ApplyLifecycleEvents(View& view) {
    bool want = static_cast<bool>(view.on.documentReady) && !view.session.empty();
    if (want == view.lifecycleOn) return;
    view.lifecycleOn = want;
    Post(view, "Page.setLifecycleEventsEnabled", {{"enabled", want}});
}

// Pictures cost CPU, so they flow only while someone can see the view.
void Engine::ApplyScreencast(View& view) {
    bool want = view.shown && view.on.paint && !view.session.empty();
    if (want == view.screencasting) return;
    view.screencasting = want;
    if (want)
        Post(view, "Page.startScreencast",
             nlohmann::json{
                 {"format", "png"}, {"maxWidth", view.width}, {"maxHeight", view.height}});
    else
        Post(view, "Page.stopScreencast", nlohmann::json::object());
}

}  // namespace engine
