// Locators: found anew by each call in the face's isolated world of each frame, waited for
// until they can be acted on, then acted on with the browser's own input.
#include <filesystem>

#include "face/keys.h"
#include "face/page_state.h"
#include "platform/base64.h"

extern "C" const char face_element_js[];

namespace qirlen {
namespace detail {

struct Step {
    bool frame = false;  // into the document of the frame found so far
    By by = By::Css;
    std::string text;
    int nth = 0;
};

}  // namespace detail

namespace {

using detail::json;
using detail::PageState;
using detail::Step;

constexpr const char* kObjectGroup = "qirlen-face";

const char* KindName(By by) {
    switch (by) {
        case By::Css:
            return "css";
        case By::XPath:
            return "xpath";
        case By::Id:
            return "id";
        case By::Text:
            return "text";
    }
    return "?";
}

// The objects one call holds are let go when it ends (the outermost, for a call that makes
// others).
struct ObjectGroup {
    explicit ObjectGroup(PageState& p) : page(p) { ++page.objectGroupDepth; }
    ~ObjectGroup() {
        if (--page.objectGroupDepth == 0 && !page.Unusable())
            page.Post("Runtime.releaseObjectGroup", {{"objectGroup", kObjectGroup}});
    }
    PageState& page;
};

// An element, or the frame a query runs in.
struct Handle {
    std::string frame;
    std::string object;  // empty: the frame's document itself
};

// The answer of a document that went away meanwhile: found again on the next try.
bool Transient(const Error& e) {
    const std::string& m = e.message;
    return e.kind == ErrorKind::InvalidArgument &&
           (m.find("Cannot find context") != std::string::npos ||
            m.find("Could not find object") != std::string::npos ||
            m.find("context was destroyed") != std::string::npos ||
            m.find("No node with given id") != std::string::npos ||
            m.find("Could not find node") != std::string::npos);
}

// Runs an operation of element.js on the handle's element (or in its frame's document) with
// texts only as arguments; its value, or the handle of the element it gave.
Result<json> Run(PageState& page, const Handle& on, const std::string& op, const json& args,
                 bool byValue = true) {
    static const std::string declaration = "function(op, ...args) { return (\n" +
                                           std::string(face_element_js) +
                                           "\n)[op].apply(this, args); }";
    json arguments = json::array({{{"value", op}}});
    for (const json& arg : args) {
        if (arg.is_object() && arg.contains("objectId"))
            arguments.push_back(arg);
        else
            arguments.push_back({{"value", arg}});
    }
    json params = {{"functionDeclaration", declaration},
                   {"arguments", arguments},
                   {"returnByValue", byValue},
                   {"objectGroup", kObjectGroup}};
    if (on.object.empty()) {
        auto world = page.WorldOf(on.frame);
        if (!world) return world.error();
        params["executionContextId"] = world.value();
    } else {
        params["objectId"] = on.object;
    }
    auto r = page.Call("Runtime.callFunctionOn", params, kDefaultNavigationTimeoutMs);
    if (!r) return r.error();
    if (auto thrown = r.value().find("exceptionDetails"); thrown != r.value().end())
        return Error{ErrorKind::InvalidArgument, detail::ExceptionText(*thrown)};
    const json& result = r.value()["result"];
    if (!byValue)
        return result.value("subtype", "") == "null" ? json() : json(result.value("objectId", ""));
    return result.value("value", json());
}

// What a locator's steps find now: the element (no object when nothing matches), or with
// `count` the number of matches of its last query.
Result<Handle> Resolve(PageState& page, const std::vector<Step>& steps, int* count = nullptr) {
    if (auto why = page.Unusable()) return *why;
    Handle at{page.mainFrame, ""};
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        if (step.frame) {
            auto node = page.Call("DOM.describeNode", {{"objectId", at.object}});
            if (!node) return node.error();
            std::string frame = node.value()["node"].value("frameId", "");
            if (frame.empty())
                return Error{ErrorKind::InvalidArgument, "Frame() of an element that is no frame"};
            at = {frame, ""};
            continue;
        }
        bool counting = count && i + 1 == steps.size();
        json scope = at.object.empty() ? json() : json{{"objectId", at.object}};
        auto found = Run(page, {at.frame, ""}, "query",
                         {scope, KindName(step.by), step.text, step.nth, counting}, counting);
        if (!found) return found.error();
        if (counting) {
            *count = found.value().get<int>();
            return at;
        }
        if (found.value().is_null()) {
            if (count) *count = 0;
            return Handle{at.frame, ""};
        }
        at.object = found.value().get<std::string>();
    }
    if (count) *count = at.object.empty() ? 0 : 1;
    return at;
}

enum Need : int {
    kVisible = 1,
    kEnabled = 2,
    kEditable = 4,
    kStable = 8,
    kReceivesClick = 16,
    kInView = 32,
};

struct Ready {
    Handle element;
    json state;  // what probe said
};

}  // namespace

// ---- the locator --------------------------------------------------------------------------

Locator::Locator(std::shared_ptr<detail::PageState> page,
                 std::shared_ptr<const std::vector<detail::Step>> steps)
    : page_(std::move(page)), steps_(std::move(steps)) {}

Locator Locator::With(const Step& step) const {
    auto steps = std::make_shared<std::vector<Step>>(*steps_);
    steps->push_back(step);
    return Locator(page_, std::move(steps));
}

Locator Page::Locator(By by, const std::string& text) const {
    return qirlen::Locator(state_, std::make_shared<std::vector<detail::Step>>(
                                       std::vector<detail::Step>{{false, by, text, 0}}));
}

Locator Locator::Find(By by, const std::string& text) const {
    return With({false, by, text, 0});
}

Locator Locator::Frame() const {
    return With({true, By::Css, "", 0});
}

Locator Locator::Nth(int index) const {
    auto steps = std::make_shared<std::vector<Step>>(*steps_);
    if (!steps->empty() && !steps->back().frame) steps->back().nth = index;
    return Locator(page_, std::move(steps));
}

std::string Locator::Describe() const {
    std::string text;
    for (const Step& step : *steps_) {
        if (!text.empty()) text += " >> ";
        text += step.frame ? "frame" : std::string(KindName(step.by)) + " '" + step.text + "'";
        if (step.nth) text += " >> nth=" + std::to_string(step.nth);
    }
    return text;
}

namespace {

// Waits until the locator's element meets `needs`; NotFound when nothing ever matched,
// Timeout when something did but never could be acted on, with what it lacked.
Result<Ready> Actionable(PageState& page, const std::vector<Step>& steps, const std::string& what,
                         int needs, int timeoutMs) {
    Ready ready;
    std::optional<Error> failed;
    std::string lacks;
    bool everFound = false;
    json lastBox;
    auto probeOnce = [&]() -> bool {
        auto found = Resolve(page, steps);
        if (!found) {
            if (Transient(found.error())) return false;
            failed = found.error();
            return true;
        }
        if (found.value().object.empty()) {
            lacks = "nothing matches";
            return false;
        }
        everFound = true;
        if (needs & kInView)
            page.Call("DOM.scrollIntoViewIfNeeded", {{"objectId", found.value().object}});
        auto probe = Run(page, found.value(), "probe", json::array());
        if (!probe) {
            if (!Transient(probe.error())) failed = probe.error();
            return failed.has_value();
        }
        const json& state = probe.value();
        lacks = !state.value("attached", false)                          ? "it is detached"
                : (needs & kVisible) && !state.value("visible", false)   ? "it is not visible"
                : (needs & kEnabled) && !state.value("enabled", false)   ? "it is disabled"
                : (needs & kEditable) && !state.value("editable", false) ? "it is not editable"
                : (needs & kReceivesClick) && !state.value("hit", false)
                    ? "another element covers it"
                    : "";
        if (!lacks.empty()) return false;
        if ((needs & kStable) && state["box"] != lastBox) {
            lastBox = state["box"];
            lacks = "it still moves";
            return false;
        }
        ready = {found.value(), state};
        return true;
    };
    auto waited = page.Wait(probeOnce, timeoutMs, what);
    if (failed) return *failed;
    if (waited) return ready;
    if (waited.error().kind != ErrorKind::Timeout) return waited.error();
    std::string after = " (waited " + std::to_string(timeoutMs) + " ms)";
    if (!everFound) return Error{ErrorKind::NotFound, "nothing matches " + what + after};
    return Error{ErrorKind::Timeout, what + ": " + lacks + after};
}

// The element's box in the page's viewport: its first content quad's bounds.
Result<std::array<double, 4>> BoxInPage(PageState& page, const Handle& element) {
    auto quads = page.Call("DOM.getContentQuads", {{"objectId", element.object}});
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

Result<void> Mouse(PageState& page, const std::string& type, double x, double y) {
    json event = {{"type", type}, {"x", x}, {"y", y}, {"button", "left"}, {"clickCount", 1}};
    if (type == "mouseMoved") event["button"] = "none";
    if (type == "mousePressed") event["buttons"] = 1;
    auto r = page.Call("Input.dispatchMouseEvent", event);
    if (!r) return r.error();
    return {};
}

Result<void> Key(PageState& page, const detail::KeyStroke& stroke) {
    json down = {{"type", stroke.text.empty() ? "rawKeyDown" : "keyDown"},
                 {"key", stroke.key},
                 {"code", stroke.code},
                 {"windowsVirtualKeyCode", stroke.keyCode},
                 {"modifiers", stroke.modifiers}};
    if (!stroke.text.empty()) down["text"] = down["unmodifiedText"] = stroke.text;
    auto pressed = page.Call("Input.dispatchKeyEvent", down);
    if (!pressed) return pressed.error();
    json up = down;
    up["type"] = "keyUp";
    up.erase("text");
    up.erase("unmodifiedText");
    auto released = page.Call("Input.dispatchKeyEvent", up);
    if (!released) return released.error();
    return {};
}

Result<void> Focus(PageState& page, const Handle& element, const char* how) {
    auto focused = Run(page, element, how, json::array());
    if (!focused) return focused.error();
    if (!focused.value().get<bool>())
        return Error{ErrorKind::InvalidArgument, "the element does not take the focus"};
    return {};
}

}  // namespace

Result<void> Locator::Click(int timeoutMs) const {
    ObjectGroup group(*page_);
    auto ready = Actionable(*page_, *steps_, Describe(),
                            kVisible | kEnabled | kStable | kInView | kReceivesClick, timeoutMs);
    if (!ready) return ready.error();
    auto box = BoxInPage(*page_, ready.value().element);
    if (!box) return box.error();
    double x = box.value()[0] + box.value()[2] / 2, y = box.value()[1] + box.value()[3] / 2;
    for (const char* type : {"mouseMoved", "mousePressed", "mouseReleased"})
        if (auto sent = Mouse(*page_, type, x, y); !sent) return sent;
    return {};
}

Result<void> Locator::Fill(const std::string& text, int timeoutMs) const {
    ObjectGroup group(*page_);
    auto ready =
        Actionable(*page_, *steps_, Describe(), kVisible | kEnabled | kEditable, timeoutMs);
    if (!ready) return ready.error();
    const Handle& field = ready.value().element;
    if (auto focused = Focus(*page_, field, "selectAll"); !focused) return focused;
    if (text.empty()) {
        if (auto erased = Key(*page_, *detail::ParseKey("Delete")); !erased) return erased;
    } else if (auto typed = page_->Call("Input.insertText", {{"text", text}}); !typed) {
        return typed.error();
    }
    // A field fires change as it loses the focus, as when the user moves on.
    auto left = Run(*page_, field, "blur", json::array());
    if (!left) return left.error();
    return {};
}

Result<void> Locator::Press(const std::string& key, int timeoutMs) const {
    auto stroke = detail::ParseKey(key);
    if (!stroke) return Error{ErrorKind::InvalidArgument, "no such key: " + key};
    ObjectGroup group(*page_);
    auto ready = Actionable(*page_, *steps_, Describe(), kVisible | kEnabled, timeoutMs);
    if (!ready) return ready.error();
    if (auto focused = Focus(*page_, ready.value().element, "focus"); !focused) return focused;
    return Key(*page_, *stroke);
}

namespace {

Result<void> SetChecked(const Locator& locator, PageState& page, const std::vector<Step>& steps,
                        bool checked, int timeoutMs) {
    auto ready = Actionable(page, steps, locator.Describe(), kVisible | kEnabled, timeoutMs);
    if (!ready) return ready.error();
    std::string type = ready.value().state.value("type", "");
    if (type != "checkbox" && type != "radio")
        return Error{ErrorKind::InvalidArgument,
                     locator.Describe() + " is no checkbox or radio button"};
    if (ready.value().state.value("checked", false) == checked) return {};
    if (auto clicked = locator.Click(timeoutMs); !clicked) return clicked;
    auto after = Run(page, ready.value().element, "probe", json::array());
    if (!after) return after.error();
    if (after.value().value("checked", false) != checked)
        return Error{ErrorKind::ScriptError, "the page undid the click on " + locator.Describe()};
    return {};
}

}  // namespace

Result<void> Locator::Check(int timeoutMs) const {
    ObjectGroup group(*page_);
    return SetChecked(*this, *page_, *steps_, true, timeoutMs);
}

Result<void> Locator::Uncheck(int timeoutMs) const {
    ObjectGroup group(*page_);
    return SetChecked(*this, *page_, *steps_, false, timeoutMs);
}

Result<void> Locator::SelectOption(const std::string& valueOrLabel, int timeoutMs) const {
    ObjectGroup group(*page_);
    auto ready = Actionable(*page_, *steps_, Describe(), kVisible | kEnabled, timeoutMs);
    if (!ready) return ready.error();
    auto chosen = Run(*page_, ready.value().element, "selectOption", {valueOrLabel});
    if (!chosen) return chosen.error();
    if (!chosen.value().get<bool>())
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
    ObjectGroup group(*page_);
    auto ready = Actionable(*page_, *steps_, Describe(), 0, timeoutMs);
    if (!ready) return ready.error();
    if (ready.value().state.value("tag", "") != "input" ||
        ready.value().state.value("type", "") != "file")
        return Error{ErrorKind::InvalidArgument, Describe() + " is no file input"};
    auto set = page_->Call("DOM.setFileInputFiles",
                           {{"files", files}, {"objectId", ready.value().element.object}});
    if (!set) return set.error();
    return {};
}

namespace {

Result<json> Read(PageState& page, const std::vector<Step>& steps, const std::string& what,
                  const json& args, int timeoutMs) {
    ObjectGroup group(page);
    auto ready = Actionable(page, steps, what, 0, timeoutMs);
    if (!ready) return ready.error();
    return Run(page, ready.value().element, "read", args);
}

}  // namespace

Result<std::string> Locator::Text(int timeoutMs) const {
    auto text = Read(*page_, *steps_, Describe(), {"text"}, timeoutMs);
    if (!text) return text.error();
    return text.value().is_string() ? text.value().get<std::string>() : std::string();
}

Result<std::optional<std::string>> Locator::Attribute(const std::string& name,
                                                      int timeoutMs) const {
    auto value = Read(*page_, *steps_, Describe(), {"attribute", name}, timeoutMs);
    if (!value) return value.error();
    if (!value.value().is_string()) return std::optional<std::string>();
    return std::optional<std::string>(value.value().get<std::string>());
}

Result<std::string> Locator::Value(int timeoutMs) const {
    auto value = Read(*page_, *steps_, Describe(), {"value"}, timeoutMs);
    if (!value) return value.error();
    return value.value().is_string() ? value.value().get<std::string>() : value.value().dump();
}

Result<int> Locator::Count() const {
    ObjectGroup group(*page_);
    int count = 0;
    auto found = Resolve(*page_, *steps_, &count);
    if (!found) return found.error();
    return count;
}

Result<std::vector<Locator>> Locator::All() const {
    auto count = Count();
    if (!count) return count.error();
    std::vector<Locator> all;
    for (int i = 0; i < count.value(); ++i) all.push_back(Nth(i));
    return all;
}

Result<void> Locator::WaitFor(ElementState state, int timeoutMs) const {
    ObjectGroup group(*page_);
    if (state == ElementState::Attached || state == ElementState::Visible) {
        auto ready = Actionable(*page_, *steps_, Describe(),
                                state == ElementState::Visible ? kVisible : 0, timeoutMs);
        if (!ready) return ready.error();
        return {};
    }
    std::optional<Error> failed;
    auto gone = [&] {
        auto found = Resolve(*page_, *steps_);
        if (!found) {
            if (!Transient(found.error())) failed = found.error();
            return failed.has_value();
        }
        if (found.value().object.empty()) return true;
        if (state == ElementState::Detached) return false;
        auto probe = Run(*page_, found.value(), "probe", json::array());
        return probe && !probe.value().value("visible", false);
    };
    auto waited = page_->Wait(
        gone, timeoutMs, Describe() + (state == ElementState::Detached ? " to go" : " to hide"));
    if (failed) return *failed;
    return waited;
}

Result<std::string> Locator::Screenshot(int timeoutMs) const {
    ObjectGroup group(*page_);
    auto ready = Actionable(*page_, *steps_, Describe(), kVisible | kStable | kInView, timeoutMs);
    if (!ready) return ready.error();
    auto box = BoxInPage(*page_, ready.value().element);
    if (!box) return box.error();
    auto metrics = page_->Call("Page.getLayoutMetrics");
    if (!metrics) return metrics.error();
    const json& viewport =
        metrics.value().value("cssVisualViewport", metrics.value()["visualViewport"]);
    auto [x, y, width, height] = box.value();
    json clip = {{"x", x + viewport.value("pageX", 0.0)},
                 {"y", y + viewport.value("pageY", 0.0)},
                 {"width", width},
                 {"height", height},
                 {"scale", 1}};
    auto shot = page_->Call("Page.captureScreenshot", {{"format", "png"}, {"clip", clip}});
    if (!shot) return shot.error();
    std::string png = platform::DecodeBase64(shot.value().value("data", ""));
    if (png.empty()) return Error{ErrorKind::BrowserGone, "the browser gave no picture"};
    return png;
}

// ---- the page's reads, in the face's world of its main frame ---------------------------

namespace {

Result<std::string> ReadDocument(PageState& page, const char* what) {
    auto value = Run(page, {page.mainFrame, ""}, "read", {what});
    if (!value && Transient(value.error())) value = Run(page, {page.mainFrame, ""}, "read", {what});
    if (!value) return value.error();
    return value.value().is_string() ? value.value().get<std::string>() : std::string();
}

}  // namespace

Result<std::string> Page::Title() const {
    return ReadDocument(*state_, "title");
}

Result<std::string> Page::Content() const {
    return ReadDocument(*state_, "content");
}

}  // namespace qirlen
