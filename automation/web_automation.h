#pragma once
// The browser-automation object: one per web view. Every operation first looks at the
// view and, without one (or without the engine entry point it needs), returns its empty
// result at once. Texts are GBK.
#include <cstdint>
#include <string>
#include <vector>

#include "automation/script_bridge.h"
#include "engine/wke.h"

namespace automation {

using FrameId = int32_t;

class WebAutomation {
  public:
    WebAutomation() = default;
    WebAutomation(const WebAutomation&) = default;  // a new object with the same view
    WebAutomation& operator=(const WebAutomation&) = default;
    ~WebAutomation() = default;  // owns nothing

    void BindView(wkeWebView view) { view_ = view; }
    wkeWebView GetView() const { return view_; }

    // ---- device parameters
    bool SetDeviceParameter(const std::string& name, const char* text = nullptr,
                            int32_t intValue = 0, float realValue = 0.0f);

    // ---- page
    int32_t GetFrameIds(std::vector<int32_t>& frames);
    bool LoadScriptFile(const std::string& url, FrameId frame = 0);
    bool SetZoom(const std::string& zoom, FrameId frame = 1);
    std::string GetZoom(FrameId frame = 1);
    int32_t GetScrollLeft(FrameId frame = 1);
    int32_t GetScrollTop(FrameId frame = 1);
    int32_t SetScrollTop(int32_t value, FrameId frame = 1);
    int32_t SetScrollLeft(int32_t value, FrameId frame = 1);
    std::string GetReadyState(FrameId frame = 1);

    // ---- locators (defined in locate/): kind and text first, index and frame last
    // The script that makes `l_Object` hold the element; clears elementMissing. For
    // "coordinates" it first gives every frame its GetNowFrameId.
    std::string BuildLocatorExpression(const std::string& kind, const std::string& text,
                                       int32_t index = 0);
    bool ElementExists(const std::string& kind, const std::string& text, int32_t index = 0,
                       FrameId frame = 1);
    // After a "coordinates" locator: the frame that holds the element, or -1.
    int32_t GetLocatedFrame();

    // ---- discovery and marking (defined in locate/); without a frame, every frame
    static constexpr FrameId kAllFrames = 0;
    bool FindElementsById(const std::string& id, std::vector<ElementInfo>& list,
                          FrameId frame = kAllFrames);
    bool FindElementsByClassName(const std::string& className, std::vector<ElementInfo>& list,
                                 FrameId frame = kAllFrames);
    bool FindElementsByTagName(const std::string& tagName, std::vector<ElementInfo>& list,
                               FrameId frame = kAllFrames);
    bool FindElementsByName(const std::string& name, std::vector<ElementInfo>& list,
                            FrameId frame = kAllFrames);
    bool MarkElement(const std::string& kind, const std::string& text, int32_t index = 0,
                     FrameId frame = 1);
    std::string GetElementXPath(const std::string& kind, const std::string& text, int32_t index = 0,
                                FrameId frame = 1);
    std::string GetElementPath(const std::string& kind, const std::string& text, int32_t index = 0,
                               FrameId frame = 1);
    std::string GetElementSelector(const std::string& kind, const std::string& text,
                                   int32_t index = 0, FrameId frame = 1);

    // ---- scripts as they are
    jsValue RunScriptInFrame(const std::string& script, bool inClosure, FrameId frame = 0);

    // ---- browser settings and device emulation
    bool ConfigureJsEnable(int unused = 0);
    bool DisableImages(int unused = 0);
    bool SetPlatform(const std::string& platform);
    bool SetMaxTouchPoints(int32_t count);
    bool SetHardwareConcurrency(int32_t count);
    bool SetScreenSize(int32_t width, int32_t height);
    bool SetScreenAvailSize(int32_t width, int32_t height);

    // ---- cookies, icon, debug settings, mouse
    std::string GetCookies();  // the engine's UTF-8, unconverted
    bool SetCookie(const std::string& url, const std::string& cookie);
    bool VisitAllCookies(wkeCookieVisitor visitor, void* param);
    bool RequestFavicon(wkeOnNetGetFaviconCallback callback, void* param);
    void SetDebugConfig(const std::string& name, const std::string& value);
    bool FireMouseEvent(uint32_t message, int32_t x, int32_t y, uint32_t flags);

  private:
    wkeWebView view_ = nullptr;
};

// Runs a GBK script in one frame of a view; the engine's answer is not used. False when the
// engine says the script failed (threw, did not parse, named no frame); an engine that
// cannot say counts as success.
bool RunScript(wkeWebView view, FrameId frame, const std::string& script, bool inClosure);
// GBK to the engine's UTF-8; a byte that is not GBK becomes U+FFFD, the rest converts.
std::string ToUtf8Script(const std::string& gbk);

}  // namespace automation
