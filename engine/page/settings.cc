#include "engine/page/settings.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "engine/page/page.h"

extern "C" const char engine_device_js[];
extern "C" const char engine_hover_js[];

namespace engine {

void PageSettings::Send(const std::string& method, const nlohmann::json& params,
                        std::function<void(const CallResult&)> onAnswer) {
    std::shared_ptr<int> unanswered = page_.host().settingsBatch;
    if (!unanswered) {
        CallResult answer = page_.session().Call(method, params);
        if (onAnswer) onAnswer(answer);
        return;
    }
    ++*unanswered;
    int sent = page_.host().connection().Post(method, params, page_.session().id(),
                                              [unanswered, onAnswer](const CallResult& answer) {
                                                  --*unanswered;
                                                  if (onAnswer) onAnswer(answer);
                                              });
    if (sent < 0) --*unanswered;
}

namespace {
constexpr auto kLongestSettingsWait = std::chrono::seconds(30);
}  // namespace

// The page answers each setting only once its renderer has taken it, so they are sent
// together and their answers awaited together.
void PageSettings::ApplyAll() {
    // Another page may attach while this one's settings are sent (a call among them lets
    // events in): its batch is its own.
    PageHost& host = page_.host();
    auto outer = std::exchange(host.settingsBatch, std::make_shared<int>(0));
    SendAll();
    auto unanswered = std::exchange(host.settingsBatch, outer);
    auto deadline = std::chrono::steady_clock::now() + kLongestSettingsWait;
    while (*unanswered > 0 && !host.browserDead() && page_.session().open()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || !host.connection().Pump(static_cast<int>(left))) break;
    }
    PageLoader& loader = page_.loader();
    if (loader.reloadWhenAttached) {
        loader.reloadWhenAttached = false;
        loader.Reload();
    }
}

void PageSettings::SendAll() {
    ApplySize();
    ApplyUserAgent();
    if (touch) ApplyTouch();
    if (device.any()) ApplyDeviceProfile();
    if (scriptDisabled) Send("Emulation.setScriptExecutionDisabled", {{"value", true}});
    if (cspBypassed) Send("Page.setBypassCSP", {{"enabled", true}});
    if (!cookiesEnabled) Send("Emulation.setDocumentCookieDisabled", {{"disabled", true}});
    if (transparent)
        Send("Emulation.setDefaultBackgroundColorOverride",
             {{"color", {{"r", 0}, {"g", 0}, {"b", 0}, {"a", 0}}}});
    ApplyRequestHooks();
    if (!page_.host().boundFunctions().empty()) page_.scripts().EnableBridge();
    hoverWatched = false;
    ApplyHoverWatch();
    lifecycleOn = false;
    ApplyLifecycleEvents();
    screencasting = false;
    ApplyScreencast();
    page_.storage().RestoreCookies();
    page_.storage().RestoreLocalStorage();
}

void PageSettings::ApplyUserAgent() {
    if (!page_.session().open() || (userAgent.empty() && !device.platform)) return;
    nlohmann::json params = {{"userAgent", userAgent}};
    if (userAgent.empty()) {
        CallResult version = page_.host().connection().Call("Browser.getVersion", {}, "");
        params["userAgent"] = version.ok ? version.result.value("userAgent", "") : "";
    }
    if (device.platform) params["platform"] = *device.platform;
    Send("Emulation.setUserAgentOverride", params);
}

// The page's viewport is exactly the view's size, whatever the headless window adds around it.
void PageSettings::ApplySize() {
    Send("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}});
}

void PageSettings::ApplyTouch() {
    int points = std::clamp(device.maxTouchPoints.value_or(1), 1, 16);
    Send("Emulation.setTouchEmulationEnabled", {{"enabled", touch}, {"maxTouchPoints", points}});
}

void PageSettings::ApplyDeviceProfile() {
    const DeviceProfile& d = device;
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
    page_.scripts().Install(deviceScriptId, source, false);
}

void PageSettings::ApplyDebugConfig(const std::string& name, const char* value) {
    bool off = value && (std::string(value) == "0" || std::string(value) == "false");
    if (name == "jsEnable") {
        scriptDisabled = off;
        page_.session().Call("Emulation.setScriptExecutionDisabled", {{"value", off}});
    } else if (name == "imageEnable") {
        imagesBlocked = off;
        ApplyRequestHooks();
    } else if (name == "blockedResourceTypes") {
        blockedTypes.clear();
        std::string list = value ? value : "";
        for (size_t start = 0; start <= list.size();) {
            size_t comma = std::min(list.find(',', start), list.size());
            if (comma > start) blockedTypes.insert(list.substr(start, comma - start));
            start = comma + 1;
        }
    }
}

// Every request is held before it is sent: a public page's requests to the local network are
// refused there (see browser/network_guard.cc), and the host's hooks see them. Responses are
// held only for the host's hook: each held one costs a round trip.
void PageSettings::ApplyRequestHooks() {
    nlohmann::json patterns = nlohmann::json::array();
    patterns.push_back({{"urlPattern", "*"}, {"requestStage", "Request"}});
    if (page_.on().loadUrlEnd)
        patterns.push_back({{"urlPattern", "*"}, {"requestStage", "Response"}});
    Send("Fetch.enable", {{"patterns", patterns}});
}

void PageSettings::ApplyHoverWatch() {
    if (hoverWatched || !page_.on().mouseOverUrl || !page_.session().open()) return;
    hoverWatched = true;
    PageScripts& scripts = page_.scripts();
    scripts.AddEngineBinding("__qirlenHover");
    scripts.Install(hoverScriptId, engine_hover_js, true, kEngineWorld);
}

void PageSettings::ApplyLifecycleEvents() {
    bool want = static_cast<bool>(page_.on().documentReady) && page_.session().open();
    if (want == lifecycleOn) return;
    lifecycleOn = want;
    page_.session().Post("Page.setLifecycleEventsEnabled", {{"enabled", want}});
}

// Pictures cost CPU, so they flow only while someone can see the view.
void PageSettings::ApplyScreencast() {
    bool want = shown && page_.on().paint && page_.session().open();
    if (want == screencasting) return;
    screencasting = want;
    if (want)
        page_.session().Post(
            "Page.startScreencast",
            nlohmann::json{{"format", "png"}, {"maxWidth", width}, {"maxHeight", height}});
    else
        page_.session().Post("Page.stopScreencast", nlohmann::json::object());
}

void PageSettings::ApplyTransparent() {
    nlohmann::json params = nlohmann::json::object();
    if (transparent) params["color"] = {{"r", 0}, {"g", 0}, {"b", 0}, {"a", 0}};
    page_.session().Call("Emulation.setDefaultBackgroundColorOverride", params);
}

void PageSettings::ApplyCsp() {
    page_.session().Call("Page.setBypassCSP", {{"enabled", cspBypassed}});
}

void PageSettings::ApplyCookiesEnabled() {
    page_.session().Call("Emulation.setDocumentCookieDisabled", {{"disabled", !cookiesEnabled}});
}

}  // namespace engine
