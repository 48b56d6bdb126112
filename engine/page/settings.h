#pragma once
// What the host set on a view and the page takes up: its window (size, visibility, background),
// the user agent and device it presents, and what script, images, CSP and cookies may do. Set
// before the view has its page, it is applied when the page comes.
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

#include "engine/protocol/connection.h"

namespace engine {

class Page;

// The seven values pages see in navigator and screen; unset ones keep the browser's own.
struct DeviceProfile {
    std::optional<std::string> platform;
    std::optional<int> maxTouchPoints, hardwareConcurrency;
    std::optional<int> screenWidth, screenHeight, availWidth, availHeight;

    bool any() const {
        return platform || maxTouchPoints || hardwareConcurrency || screenWidth || screenHeight ||
               availWidth || availHeight;
    }
};

class PageSettings {
  public:
    explicit PageSettings(Page& page) : page_(page) {}

    // Everything set before the page came, sent together and awaited once: the page's first
    // load starts once all are in place.
    void ApplyAll();
    // Sends a setting to the page and hands its answer to `onAnswer`. While a page attaches,
    // its settings go out together and their answers are awaited once, at the end (ApplyAll);
    // otherwise each waits for its answer.
    void Send(const std::string& method, const nlohmann::json& params,
              std::function<void(const CallResult&)> onAnswer = nullptr);

    void ApplySize();
    void ApplyUserAgent();
    void ApplyTouch();
    void ApplyDeviceProfile();
    void ApplyDebugConfig(const std::string& name, const char* value);
    void ApplyRequestHooks();
    void ApplyHoverWatch();
    void ApplyLifecycleEvents();
    void ApplyScreencast();
    void ApplyTransparent();
    void ApplyCsp();
    void ApplyCookiesEnabled();

    // the window
    int width = 0, height = 0;
    bool shown = false;
    bool transparent = false;
    bool screencasting = false;
    std::u16string windowTitle;
    // what the page presents and may do
    std::string userAgent;
    bool touch = false;
    DeviceProfile device;
    bool scriptDisabled = false, imagesBlocked = false;
    std::set<std::string> blockedTypes;  // resource types never fetched ("Image", "Script", ...)
    bool cspBypassed = false, newWindowNavigation = false, cookiesEnabled = true;
    bool hoverWatched = false, lifecycleOn = false;
    std::string deviceScriptId, hoverScriptId;

  private:
    void SendAll();

    Page& page_;
};

}  // namespace engine
