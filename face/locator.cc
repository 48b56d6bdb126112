// Locators: what they name, and what they read. Each call finds its element anew in the face's
// isolated world of the element's document (face/element_call.h).
#include "face/element_call.h"

namespace qirlen {

using detail::Action;
using detail::json;
using detail::Step;

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
        text +=
            step.frame ? "frame" : std::string(detail::KindName(step.by)) + " '" + step.text + "'";
        if (step.nth) text += " >> nth=" + std::to_string(step.nth);
    }
    return text;
}

namespace {

// A read waits only until the element is attached: one call when it is.
Result<json> Read(detail::PageState& page, const std::vector<Step>& steps, const std::string& what,
                  const char* action, const json& args, int timeoutMs) {
    detail::ObjectGroup group(page);
    auto read = detail::Act(page, steps, what, {0, action, args}, timeoutMs);
    if (!read) return read.error();
    return std::move(read.value().value);
}

}  // namespace

Result<std::string> Locator::Text(int timeoutMs) const {
    auto text = Read(*page_, *steps_, Describe(), "text", json::array(), timeoutMs);
    if (!text) return text.error();
    return text.value().is_string() ? text.value().get<std::string>() : std::string();
}

Result<std::optional<std::string>> Locator::Attribute(const std::string& name,
                                                      int timeoutMs) const {
    auto value = Read(*page_, *steps_, Describe(), "attribute", json::array({name}), timeoutMs);
    if (!value) return value.error();
    if (!value.value().is_string()) return std::optional<std::string>();
    return std::optional<std::string>(value.value().get<std::string>());
}

Result<std::string> Locator::Value(int timeoutMs) const {
    auto value = Read(*page_, *steps_, Describe(), "value", json::array(), timeoutMs);
    if (!value) return value.error();
    return value.value().is_string() ? value.value().get<std::string>() : value.value().dump();
}

Result<int> Locator::Count() const {
    detail::ObjectGroup group(*page_);
    return detail::CountNow(*page_, *steps_, Describe());
}

Result<std::vector<Locator>> Locator::All() const {
    auto count = Count();
    if (!count) return count.error();
    std::vector<Locator> all;
    for (int i = 0; i < count.value(); ++i) all.push_back(Nth(i));
    return all;
}

Result<void> Locator::WaitFor(ElementState state, int timeoutMs) const {
    static const int kNeeds[] = {0, detail::kGone, detail::kVisible, detail::kHidden};
    detail::ObjectGroup group(*page_);
    auto waited =
        detail::Act(*page_, *steps_, Describe(), {kNeeds[static_cast<int>(state)]}, timeoutMs);
    if (!waited) return waited.error();
    return {};
}

// ---- the page's reads, in the face's world of its main frame ------------------------------

namespace {

Result<std::string> ReadDocument(detail::PageState& page, const char* what) {
    if (auto why = page.Unusable()) return *why;
    auto value = detail::CallOp(page, page.mainFrame, "document", json::array({what}));
    if (!value && detail::Transient(value.error()))  // its document went: read the next one
        value = detail::CallOp(page, page.mainFrame, "document", json::array({what}));
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
