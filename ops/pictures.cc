// Pictures out of the page: a copy of an image element, a rendering of any element, the
// content of a canvas; and the addresses of a frame's scripts, style sheets and embeds.
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "ops/element_call.h"
#include "ops/element_operations.h"
#include "ops/html2canvas.h"
#include "platform/diagnosis.h"
#include "platform/sinks.h"

extern "C" const char ops_base64_image_js[];
extern "C" const char ops_render_element_js[];
extern "C" const char ops_place_on_screen_js[];
extern "C" const char ops_list_scripts_js[];
extern "C" const char ops_list_style_sheets_js[];
extern "C" const char ops_list_embeds_js[];

namespace ops {
namespace {

using automation::Api;
using automation::Bridge;
using automation::DecodeBase64;
using automation::FrameId;
using automation::LookupEntry;
using automation::RunScript;
using locate::Outcome;

// The bytes of a "data:image/<type>;base64," reply; anything else is no picture.
std::vector<uint8_t> PictureBytes(Outcome outcome) {
    const std::string& reply = Bridge().attributeReply;
    if (outcome == Outcome::kMissing || outcome == Outcome::kNoView) return {};
    constexpr std::string_view kImage = "data:image/", kBase64 = ";base64,";
    if (reply.compare(0, kImage.size(), kImage) != 0) return {};
    size_t header = reply.find(kBase64);
    size_t comma = reply.find(',');
    if (header == std::string::npos || header + kBase64.size() - 1 != comma) return {};
    return DecodeBase64(std::string_view(reply).substr(comma + 1));
}

// The rendering finishes in the page's own time. Up to `steps` steps of 100 ms, the
// program's loop and the engine dispatch what is pending; the wait ends as soon as the
// reply is there, since the engine's descriptor wakes it.
void WaitForReply(int32_t steps) {
    auto wake = LookupEntry<decltype(&::wkeWake)>("wkeWake");
    auto eventFd = LookupEntry<decltype(&::wkeGetEventFd)>("wkeGetEventFd");
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(100) * std::max(steps, 0);
    while (Bridge().attributeReply.empty() && Clock::now() < deadline) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (eventFd) {
            pollfd pfd{eventFd(), POLLIN, 0};
            poll(&pfd, 1, static_cast<int>(std::min<int64_t>(left.count(), 100)));
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(100)));
        }
        platform::ProcessPendingMessages();
        if (wake) wake(nullptr);
    }
}

// An empty rendering looks the same whatever the reason; whoever diagnoses is told which.
void ReportNoRendering(int32_t steps) {
    const std::string& reply = Bridge().attributeReply;
    platform::ReportDiagnosis(reply.empty() ? "GetElementImage: no picture within " +
                                                  std::to_string(int64_t{steps} * 100) +
                                                  " ms: the page's rendering did not answer"
                                            : "GetElementImage: no picture: " + reply);
}

// Where the element is on screen as it is drawn alone (placeOnScreen), its rectangle in the
// document as JSON; otherwise empty, and so for a missing element.
std::string PlaceOnScreen(ElementOperations& web, const locate::Locator& locator,
                          Outcome& outcome) {
    outcome = locate::RunElementOperation(
        web, locator,
        {ops_place_on_screen_js, "\r\nwindow.top.GetAttributeBack(placeOnScreen(l_Object));",
         true});
    return outcome == Outcome::kDone ? Bridge().attributeReply : std::string();
}

// The browser's own picture of that rectangle, from its compositor: what is on screen there,
// as PNG. Empty when the engine gave none in `timeoutMs`.
std::vector<uint8_t> CompositorPicture(wkeWebView view, const std::string& place, int timeoutMs) {
    if (!Api().qirlenProtocolCall) return {};
    nlohmann::json clip = nlohmann::json::parse(place, nullptr, false);
    if (!clip.is_object()) return {};
    clip["scale"] = 1;
    const std::string params =
        nlohmann::json{{"format", "png"}, {"captureBeyondViewport", false}, {"clip", clip}}.dump();
    std::string answer;
    auto keep = [](void* to, int, const char* text, size_t length) {
        static_cast<std::string*>(to)->assign(text, length);
    };
    if (Api().qirlenProtocolCall(view, "Page.captureScreenshot", params.c_str(), timeoutMs, keep,
                                 &answer) != QIRLEN_PROTOCOL_OK)
        return {};
    nlohmann::json shot = nlohmann::json::parse(answer, nullptr, false);
    if (!shot.is_object() || !shot.contains("data") || !shot["data"].is_string()) return {};
    return DecodeBase64(shot["data"].get_ref<const std::string&>());
}

bool ListResources(ElementOperations& web, const char* script, std::vector<std::string>& list,
                   FrameId frame) {
    if (!web.GetView() || !Api().wkeRunJsByFrame) return false;
    Bridge().resourceList.clear();
    RunScript(web.GetView(), frame, script, false);
    list = Bridge().resourceList.entries();
    return !Bridge().resourceList.full();  // more than a list holds: no answer
}

}  // namespace

std::vector<uint8_t> ElementOperations::GetElementImage(const locate::Locator& locator, bool render,
                                                        int32_t waitCount) {
    if (!render)
        return PictureBytes(locate::RunElementOperation(
            *this, locator,
            {"",
             std::string("\r\n") + ops_base64_image_js +
                 "\r\nwindow.top.GetAttributeBack(getBase64Image(l_Object));",
             true}));
    int32_t steps = waitCount > 0 ? waitCount : kDefaultRenderSteps;
    // On screen and drawn as it is, the element's picture is the compositor's: the browser's
    // own rendering, and far quicker than drawing the page again in script.
    Outcome outcome;
    std::string place = PlaceOnScreen(*this, locator, outcome);
    if (outcome == Outcome::kMissing || outcome == Outcome::kNoView) return {};
    if (!place.empty()) {
        std::vector<uint8_t> shot = CompositorPicture(GetView(), place, steps * 100);
        if (!shot.empty()) return shot;
    }
    outcome = locate::RunElementOperation(
        *this, locator, {ops_render_element_js, "\r\nrenderElement(l_Object);", true},
        {true, Html2CanvasScript()});
    // A missing element or a failed run never answers: no point waiting for it. The answer
    // comes after the run, so the view's page may call the bridge between runs meanwhile.
    if (outcome != Outcome::kDone) return PictureBytes(outcome);
    auto accept = LookupEntry<decltype(&::wkeAcceptCallsBetweenRuns)>("wkeAcceptCallsBetweenRuns");
    if (accept) accept(GetView(), true);
    WaitForReply(steps);
    if (accept) accept(GetView(), false);
    std::vector<uint8_t> picture = PictureBytes(outcome);
    if (picture.empty()) ReportNoRendering(steps);
    return picture;
}

std::vector<uint8_t> ElementOperations::GetCanvasImage(const locate::Locator& locator) {
    return PictureBytes(locate::RunElementOperation(
        *this, locator, {"", ReadBack("l_Object.toDataURL('image/png')"), true}));
}

bool ElementOperations::ListScripts(std::vector<std::string>& list, FrameId frame) {
    return ListResources(*this, ops_list_scripts_js, list, frame);
}

bool ElementOperations::ListStyleSheets(std::vector<std::string>& list, FrameId frame) {
    return ListResources(*this, ops_list_style_sheets_js, list, frame);
}

bool ElementOperations::ListEmbeds(std::vector<std::string>& list, FrameId frame) {
    return ListResources(*this, ops_list_embeds_js, list, frame);
}

}  // namespace ops
