// What locators do: the browser's own mouse and keyboard at the element once it can take them,
// form controls, and the browser's own picture of the element.
#include <array>
#include <filesystem>

#include "face/element_call.h"
#include "face/keys.h"
#include "platform/base64.h"

namespace qirlen {

using detail::Action;
using detail::json;
using detail::PageState;

namespace {

// The element's box in the page's viewport: the bounds of its first content quad. For an
// element of a frame, whose own coordinates are its frame's.
Result<std::array<double, 4>> BoxInViewport(PageState& page, const std::string& object) {
    auto quads = page.Call("DOM.getContentQuads", {{"objectId", object}});
    if (!quads) return quads.error();
    const json& all = quads.value()["quads"];
    if (!all.is_array() || all.empty() || all[0].size() != 8)
        return Error{ErrorKind::NotFound, "the element has no box on the page"};
    const json& q = all[0];
    double left = q[0], top = q[1], right = q[0], bottom = q[1];
    for (int i = 0; i < 8; i += 2) {
        left = std::min<double>(left, q[i]);
        right = std::max<double>(right, q[i]);
        top = std::min<double>(top, q[i + 1]);
        bottom = std::max<double>(bottom, q[i + 1]);
    }
    return std::array<double, 4>{left, top, right - left, bottom - top};
}

bool InFrame(const std::vector<detail::Step>& steps) {
    for (const auto& step : steps)
        if (step.frame) return true;
    return false;
}

// The element made ready for `needs` and the point of the page's viewport to aim at: its own
// document says it in the main frame; for a frame's element the browser does.
Result<std::array<double, 2>> AimAt(PageState& page, const std::vector<detail::Step>& steps,
                                    const std::string& what, int needs, int timeoutMs) {
    if (!InFrame(steps)) {
        auto point = detail::Act(page, steps, what, {needs, "point"}, timeoutMs);
        if (!point) return point.error();
        const json& p = point.value().value;
        return std::array<double, 2>{p.value("x", 0.0), p.value("y", 0.0)};
    }
    auto element =
        detail::Act(page, steps, what, {needs, "element", json::array(), true}, timeoutMs);
    if (!element) return element.error();
    auto box = BoxInViewport(page, element.value().object);
    if (!box) return box.error();
    auto [x, y, width, height] = box.value();
    return std::array<double, 2>{x + width / 2, y + height / 2};
}

Result<void> Sent(const Result<json>& answer) {
    if (!answer) return answer.error();
    return {};
}

Result<void> Key(PageState& page, const detail::KeyStroke& stroke) {
    json down = {{"type", stroke.text.empty() ? "rawKeyDown" : "keyDown"},
                 {"key", stroke.key},
                 {"code", stroke.code},
                 {"windowsVirtualKeyCode", stroke.keyCode},
                 {"modifiers", stroke.modifiers}};
    if (!stroke.text.empty()) down["text"] = down["unmodifiedText"] = stroke.text;
    if (auto pressed = Sent(page.Call("Input.dispatchKeyEvent", down)); !pressed) return pressed;
    json up = down;
    up["type"] = "keyUp";
    up.erase("text");
    up.erase("unmodifiedText");
    return Sent(page.Call("Input.dispatchKeyEvent", up));
}

// Focuses the element (with its text selected, for `fill`); the frame of its document.
Result<std::string> Focus(PageState& page, const std::vector<detail::Step>& steps,
                          const std::string& what, int needs, const char* how, int timeoutMs) {
    auto focused = detail::Act(page, steps, what, {needs, how}, timeoutMs);
    if (!focused) return focused.error();
    if (!focused.value().value.is_boolean() || !focused.value().value.get<bool>())
        return Error{ErrorKind::InvalidArgument, what + " does not take the focus"};
    return focused.value().frame;
}

}  // namespace

Result<void> Locator::Click(int timeoutMs) const {
    using namespace detail;
    ObjectGroup group(*page_);
    auto at = AimAt(*page_, *steps_, Describe(),
                    kVisible | kEnabled | kStill | kInView | kReceivesClick, timeoutMs);
    if (!at) return at.error();
    auto [x, y] = at.value();
    // The browser takes a page's input events in the order sent: the move and the press go
    // without waiting, and the release's answer tells that all three have been handled.
    for (std::string type : {"mouseMoved", "mousePressed", "mouseReleased"}) {
        json event = {{"type", type}, {"x", x}, {"y", y}, {"button", "left"}, {"clickCount", 1}};
        if (type == "mouseMoved") event["button"] = "none";
        if (type == "mousePressed") event["buttons"] = 1;
        if (type != "mouseReleased")
            page_->Post("Input.dispatchMouseEvent", event);
        else
            return Sent(page_->Call("Input.dispatchMouseEvent", event));
    }
    return {};
}

Result<void> Locator::Fill(const std::string& text, int timeoutMs) const {
    using namespace detail;
    ObjectGroup group(*page_);
    auto frame =
        Focus(*page_, *steps_, Describe(), kVisible | kEnabled | kEditable, "fill", timeoutMs);
    if (!frame) return frame.error();
    Result<void> typed = text.empty() ? Key(*page_, *ParseKey("Delete"))
                                      : Sent(page_->Call("Input.insertText", {{"text", text}}));
    if (!typed) return typed;
    // A field fires change as it loses the focus, as when the user moves on.
    return Sent(CallOp(*page_, frame.value(), "blurFilled", json::array()));
}

Result<void> Locator::Press(const std::string& key, int timeoutMs) const {
    auto stroke = detail::ParseKey(key);
    if (!stroke) return Error{ErrorKind::InvalidArgument, "no such key: " + key};
    detail::ObjectGroup group(*page_);
    auto focused =
        Focus(*page_, *steps_, Describe(), detail::kVisible | detail::kEnabled, "focus", timeoutMs);
    if (!focused) return focused.error();
    return Key(*page_, *stroke);
}

namespace {

Result<void> SetChecked(const Locator& locator, PageState& page,
                        const std::vector<detail::Step>& steps, bool checked, int timeoutMs) {
    std::string what = locator.Describe();
    auto state = [&](int needs, int ms) -> Result<json> {
        auto read = detail::Act(page, steps, what, {needs, "checkState"}, ms);
        if (!read) return read.error();
        return std::move(read.value().value);
    };
    auto before = state(detail::kVisible | detail::kEnabled, timeoutMs);
    if (!before) return before.error();
    std::string type = before.value().value("type", "");
    if (type != "checkbox" && type != "radio")
        return Error{ErrorKind::InvalidArgument, what + " is no checkbox or radio button"};
    if (before.value().value("checked", false) == checked) return {};
    if (auto clicked = locator.Click(timeoutMs); !clicked) return clicked;
    auto after = state(0, 0);
    if (!after) return after.error();
    if (after.value().value("checked", false) != checked)
        return Error{ErrorKind::ScriptError, "the page undid the click on " + what};
    return {};
}

}  // namespace

Result<void> Locator::Check(int timeoutMs) const {
    detail::ObjectGroup group(*page_);
    return SetChecked(*this, *page_, *steps_, true, timeoutMs);
}

Result<void> Locator::Uncheck(int timeoutMs) const {
    detail::ObjectGroup group(*page_);
    return SetChecked(*this, *page_, *steps_, false, timeoutMs);
}

Result<void> Locator::SelectOption(const std::string& valueOrLabel, int timeoutMs) const {
    detail::ObjectGroup group(*page_);
    auto chosen = detail::Act(
        *page_, *steps_, Describe(),
        {detail::kVisible | detail::kEnabled, "selectOption", json::array({valueOrLabel})},
        timeoutMs);
    if (!chosen) return chosen.error();
    if (!chosen.value().value.is_boolean() || !chosen.value().value.get<bool>())
        return Error{ErrorKind::NotFound, Describe() + " has no option " + valueOrLabel};
    return {};
}

Result<void> Locator::SetInputFiles(const std::vector<std::string>& paths, int timeoutMs) const {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code error;
        auto absolute = std::filesystem::absolute(std::filesystem::path(path), error);
        if (error || !std::filesystem::is_regular_file(absolute, error))
            return Error{ErrorKind::NotFound, "no such file: " + path};
        files.push_back(absolute.string());  // paths are bytes here, UTF-8 as given
    }
    detail::ObjectGroup group(*page_);
    auto input =
        detail::Act(*page_, *steps_, Describe(), {0, "fileInput", json::array(), true}, timeoutMs);
    if (!input) return input.error();
    return Sent(page_->Call("DOM.setFileInputFiles",
                            {{"files", files}, {"objectId", input.value().object}}));
}

Result<std::string> Locator::Screenshot(int timeoutMs) const {
    using namespace detail;
    ObjectGroup group(*page_);
    const int needs = kVisible | kStill | kInView;
    json clip;
    if (!InFrame(*steps_)) {
        auto box = Act(*page_, *steps_, Describe(), {needs, "box"}, timeoutMs);
        if (!box) return box.error();
        clip = box.value().value;
    } else {
        auto element =
            Act(*page_, *steps_, Describe(), {needs, "element", json::array(), true}, timeoutMs);
        if (!element) return element.error();
        auto box = BoxInViewport(*page_, element.value().object);
        if (!box) return box.error();
        auto metrics = page_->Call("Page.getLayoutMetrics");
        if (!metrics) return metrics.error();
        const json& viewport =
            metrics.value().value("cssVisualViewport", metrics.value()["visualViewport"]);
        auto [x, y, width, height] = box.value();
        clip = {{"x", x + viewport.value("pageX", 0.0)},
                {"y", y + viewport.value("pageY", 0.0)},
                {"width", width},
                {"height", height}};
    }
    clip["scale"] = 1;
    auto shot = page_->Call("Page.captureScreenshot", {{"format", "png"}, {"clip", clip}});
    if (!shot) return shot.error();
    std::string png = platform::DecodeBase64(shot.value().value("data", ""));
    if (png.empty()) return Error{ErrorKind::BrowserGone, "the browser gave no picture"};
    return png;
}

}  // namespace qirlen
