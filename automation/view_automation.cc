// Running scripts in frames, the page-level operations that read one reply slot, and the
// texts scripts and pictures come in.
#include "automation/view_automation.h"

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "platform/base64.h"
#include "platform/text_encoding.h"

extern "C" const char automation_frame_numbering_js[];
extern "C" const char automation_load_script_js[];

namespace automation {

std::string ToUtf8Script(const std::string& text) {
    return platform::TextToUtf8(text);
}

// The pictures a page hands back, as bytes; the decoding is the engine's own.
std::vector<uint8_t> DecodeBase64(std::string_view text) {
    std::string bytes = platform::DecodeBase64(text);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

bool RunScript(wkeWebView view, FrameId frame, const std::string& script, bool inClosure,
               std::string_view utf8Prefix) {
    if (!Api().wkeRunJsByFrame) return false;
    std::string utf8 = std::string(utf8Prefix) + ToUtf8Script(script);
    uint64_t filledBefore = Bridge().listsFilled;
    Api().wkeRunJsByFrame(view, frame, utf8.c_str(), inClosure);
    // A list the page made too long is no answer either.
    if (Bridge().listsFilled != filledBefore) return false;
    auto failed = LookupEntry<decltype(&::wkeLastRunFailed)>("wkeLastRunFailed");
    return !failed || !failed(view);
}

int32_t ViewAutomation::GetFrameIds(std::vector<int32_t>& frames) {
    if (!view_ || !Api().wkeRunJsByFrame) return 0;
    ScriptBridge& bridge = Bridge();
    RunScript(view_, 1, automation_frame_numbering_js, false);
    frames.clear();
    bridge.frameRecordReply = 0;
    int32_t expected = 1;
    // Frame k answers with the number the walk gave its window; the handles that answer in
    // order are the frames' handles.
    for (FrameId handle = 1; handle <= 100; ++handle) {
        RunScript(view_, handle, "window.top.enumresources('frameCount',window.IDRECORD);", true);
        if (bridge.frameRecordReply != expected) continue;
        frames.push_back(handle);
        if (++expected > bridge.frameTotalReply) break;
    }
    return bridge.frameTotalReply;
}

bool ViewAutomation::LoadScriptFile(const std::string& url, FrameId frame) {
    if (!view_ || !Api().wkeRunJsByFrame) return false;
    Bridge().scriptLoaded = false;
    RunScript(view_, frame, automation_load_script_js + url + "',callback())", false);
    return Bridge().scriptLoaded;
}

bool ViewAutomation::SetZoom(const std::string& zoom, FrameId frame) {
    if (!view_ || !Api().wkeRunJsByFrame) return false;
    RunScript(view_, frame, "document.body.style.zoom=" + zoom + ";", false);
    return true;
}

std::string ViewAutomation::GetZoom(FrameId frame) {
    if (!view_ || !Api().wkeRunJsByFrame) return {};
    Bridge().attributeReply.clear();
    RunScript(view_, frame, "window.top.GetAttributeBack(document.body.style.zoom);", false);
    return Bridge().attributeReply;
}

int32_t ViewAutomation::GetScrollLeft(FrameId frame) {
    if (!view_ || !Api().wkeRunJsByFrame) return -1;
    Bridge().scrollReply = -1;
    RunScript(view_, frame, "window.top.ScrollBack(document.body.scrollLeft);", false);
    return Bridge().scrollReply;
}

int32_t ViewAutomation::GetScrollTop(FrameId frame) {
    if (!view_ || !Api().wkeRunJsByFrame) return -1;
    Bridge().scrollReply = -1;
    RunScript(view_, frame, "window.top.ScrollBack(document.body.scrollTop);", false);
    return Bridge().scrollReply;
}

int32_t ViewAutomation::SetScrollTop(int32_t value, FrameId frame) {
    if (!view_ || !Api().wkeRunJsByFrame) return -1;
    RunScript(view_, frame, "document.body.scrollTop=" + std::to_string(value) + ";", false);
    return 0;
}

int32_t ViewAutomation::SetScrollLeft(int32_t value, FrameId frame) {
    if (!view_ || !Api().wkeRunJsByFrame) return -1;
    RunScript(view_, frame, "document.body.scrollLeft=" + std::to_string(value) + ";", false);
    return 0;
}

std::string ViewAutomation::GetReadyState(FrameId frame) {
    if (!view_ || !Api().wkeRunJsByFrame) return {};
    Bridge().attributeReply.clear();
    RunScript(view_, frame, "window.top.GetAttributeBack(document.readyState);", false);
    return Bridge().attributeReply;
}

jsValue ViewAutomation::RunScriptInFrame(const std::string& script, bool inClosure, FrameId frame) {
    if (!view_ || !Api().wkeRunJsByFrame) return -1;
    std::string utf8 = ToUtf8Script(script);
    return Api().wkeRunJsByFrame(view_, frame, utf8.c_str(), inClosure);
}

}  // namespace automation
