#include "face/element_call.h"

#include <algorithm>

namespace qirlen::detail {
namespace {

constexpr const char* kObjectGroup = "qirlen-face";
// The operations are installed once per document (PageState::WorldOf); a call only names one.
constexpr const char* kCallOp = "function(op, ...args) { return qirlenFace[op](...args); }";
// How much longer than the page's own wait the answer may take (a busy, loaded machine).
constexpr int kAnswerSlackMs = 5000;

int MsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long>(0, left.count()));
}

// The steps split at frames: each part is looked for in the document the parts before lead to.
std::vector<json> Parts(const std::vector<Step>& steps) {
    std::vector<json> parts(1, json::array());
    for (const Step& step : steps) {
        if (step.frame)
            parts.emplace_back(json::array());
        else
            parts.back().push_back(json::array({KindName(step.by), step.text, step.nth}));
    }
    return parts;
}

Result<std::string> FrameOfElement(PageState& page, const std::string& object) {
    auto node = page.Call("DOM.describeNode", {{"objectId", object}});
    if (!node) return node.error();
    std::string frame = node.value()["node"].value("frameId", "");
    if (frame.empty())
        return Error{ErrorKind::InvalidArgument, "Frame() of an element that is no frame"};
    return frame;
}

Result<Acted> ActIn(PageState& page, const std::string& frame, const json& part,
                    const std::string& what, const Action& action, Clock::time_point deadline,
                    int timeoutMs) {
    int left = MsUntil(deadline);
    auto r = CallOp(
        page, frame, "act",
        json::array({part, action.needs, action.name, action.args, left, action.byReference}),
        action.byReference, left + kAnswerSlackMs);
    if (!r) return r.error();
    json state = r.value();
    if (action.byReference) {
        if (state.value("subtype", "") == "node")
            return Acted{frame, {}, state.value("objectId", "")};
        state = json::parse(state.value("value", "{}"), nullptr, false);
    }
    if (!state.is_object())
        return Error{ErrorKind::BrowserGone, "an unreadable answer of the page"};
    std::string outcome = state.value("state", "");
    if (outcome == "done") return Acted{frame, state.value("value", json()), ""};
    std::string after = " (waited " + std::to_string(timeoutMs) + " ms)";
    if (outcome == "missing") return Error{ErrorKind::NotFound, "nothing matches " + what + after};
    return Error{ErrorKind::Timeout, what + ": " + state.value("lacks", "") + after};
}

// The frame of the document the last part is looked in: the one each part before leads to.
Result<std::string> ThroughFrames(PageState& page, const std::vector<json>& parts,
                                  const std::string& what, Clock::time_point deadline,
                                  int timeoutMs) {
    std::string frame = page.mainFrame;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        auto owner = ActIn(page, frame, parts[i], what, {0, "element", json::array(), true},
                           deadline, timeoutMs);
        if (!owner) return owner.error();
        auto inner = FrameOfElement(page, owner.value().object);
        if (!inner) return inner.error();
        frame = inner.value();
    }
    return frame;
}

// Runs `once` again while the document it looked in goes away under it, until the deadline.
template <typename T, typename Once>
Result<T> Retrying(PageState& page, const std::string& what, Clock::time_point deadline,
                   const Once& once) {
    for (;;) {
        if (auto why = page.Unusable()) return *why;
        Result<T> done = once();
        if (done || !Transient(done.error())) return done;
        // A new document is on its way: looked in once the browser has said more.
        if (MsUntil(deadline) == 0)
            return Error{ErrorKind::Timeout, what + ": the page kept changing its document"};
        int seen = page.eventsSeen;
        auto waited = page.Wait([&] { return page.eventsSeen != seen; },
                                std::min(MsUntil(deadline), 50), what);
        if (!waited && waited.error().kind != ErrorKind::Timeout) return waited.error();
    }
}

}  // namespace

bool Transient(const Error& e) {
    static const char* const kGone[] = {
        "Cannot find context",        "Could not find object", "context was destroyed",
        "No node with given id",      "Could not find node",   "No frame for given id",
        "Inspected target navigated",
    };
    return e.kind == ErrorKind::InvalidArgument &&
           std::any_of(std::begin(kGone), std::end(kGone),
                       [&](const char* gone) { return e.message.find(gone) != std::string::npos; });
}

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

Result<json> CallOp(PageState& page, const std::string& frame, const std::string& op,
                    const json& args, bool byReference, int timeoutMs) {
    auto world = page.WorldOf(frame);
    if (!world) return world.error();
    json arguments = json::array({{{"value", op}}});
    for (const json& arg : args) arguments.push_back({{"value", arg}});
    json params = {{"functionDeclaration", kCallOp},
                   {"executionContextId", world.value()},
                   {"arguments", std::move(arguments)},
                   {"returnByValue", !byReference},
                   {"awaitPromise", true}};
    if (byReference) {
        params["objectGroup"] = kObjectGroup;
        page.objectsHeld = true;
    }
    auto r = page.Call("Runtime.callFunctionOn", params, timeoutMs);
    if (!r) {
        if (Transient(r.error())) page.worlds.erase(frame);
        return r.error();
    }
    if (auto thrown = r.value().find("exceptionDetails"); thrown != r.value().end())
        return Error{ErrorKind::InvalidArgument, ExceptionText(*thrown)};
    const json& result = r.value()["result"];
    return byReference ? result : result.value("value", json());
}

Result<Acted> Act(PageState& page, const std::vector<Step>& steps, const std::string& what,
                  const Action& action, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::vector<json> parts = Parts(steps);
    return Retrying<Acted>(page, what, deadline, [&]() -> Result<Acted> {
        auto frame = ThroughFrames(page, parts, what, deadline, timeoutMs);
        if (!frame) return frame.error();
        return ActIn(page, frame.value(), parts.back(), what, action, deadline, timeoutMs);
    });
}

Result<int> CountNow(PageState& page, const std::vector<Step>& steps, const std::string& what) {
    auto now = Clock::now();
    const std::vector<json> parts = Parts(steps);
    return Retrying<int>(
        page, what, now + std::chrono::milliseconds(kDefaultTimeoutMs), [&]() -> Result<int> {
            auto frame = ThroughFrames(page, parts, what, now, 0);
            if (!frame && frame.error().kind == ErrorKind::NotFound) return 0;
            if (!frame) return frame.error();
            auto count = CallOp(page, frame.value(), "count", json::array({parts.back()}));
            if (!count) return count.error();
            return count.value().get<int>();
        });
}

ObjectGroup::ObjectGroup(PageState& p) : page(p) {
    ++page.objectGroupDepth;
}

ObjectGroup::~ObjectGroup() {
    if (--page.objectGroupDepth > 0 || !page.objectsHeld) return;
    page.objectsHeld = false;
    if (!page.Unusable()) page.Post("Runtime.releaseObjectGroup", {{"objectGroup", kObjectGroup}});
}

}  // namespace qirlen::detail
