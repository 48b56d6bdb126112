#pragma once
// The automation of one web view: its page and frames, scripts run as they are, the
// browser's settings and device emulation, cookies and raw input. The bottom layer of
// automation::WebAutomation (automation/web_automation.h), which says how every operation
// treats a missing view and which texts it takes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/capi/wke.h"

namespace automation {

using FrameId = int32_t;

class ViewAutomation {
  public:
    using FrameId = automation::FrameId;  // for the layers on top, in namespaces of their own

    ViewAutomation() = default;
    ViewAutomation(const ViewAutomation&) = default;  // a new object with the same view
    ViewAutomation& operator=(const ViewAutomation&) = default;
    ~ViewAutomation() = default;  // owns nothing

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
    // The engine takes the cookie (and the platform of SetPlatform) in GBK: under the UTF-8
    // switch they are converted, a character GBK lacks becoming "?".
    bool SetCookie(const std::string& url, const std::string& cookie);
    bool VisitAllCookies(wkeCookieVisitor visitor, void* param);
    bool RequestFavicon(wkeOnNetGetFaviconCallback callback, void* param);
    void SetDebugConfig(const std::string& name, const std::string& value);
    bool FireMouseEvent(uint32_t message, int32_t x, int32_t y, uint32_t flags);

  private:
    wkeWebView view_ = nullptr;
};

// Runs a script (the program's text) in one frame of a view; the engine's answer is not used.
// False when the engine says the script failed (threw, did not parse, named no frame); an
// engine that cannot say counts as success.
// `utf8Prefix` goes ahead of the converted script as it is (a library that is UTF-8 already).
bool RunScript(wkeWebView view, FrameId frame, const std::string& script, bool inClosure,
               std::string_view utf8Prefix = {});
// Base64 as the picture operations read it (as the engine does): bytes outside the alphabet
// are skipped, a pad ends the text, a last group of two or three characters gives its bytes
// without a pad, a lone last character gives none.
std::vector<uint8_t> DecodeBase64(std::string_view text);
// The program's text (GBK, or UTF-8 after the switch) to the engine's UTF-8; a byte that
// starts no character becomes U+FFFD, the rest converts.
std::string ToUtf8Script(const std::string& text);

}  // namespace automation
