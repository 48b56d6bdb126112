// The browser and its pages.
#include "face/page_state.h"

namespace qirlen {

using detail::json;

const char* ErrorKindName(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::NotFound:
            return "NotFound";
        case ErrorKind::Timeout:
            return "Timeout";
        case ErrorKind::ScriptError:
            return "ScriptError";
        case ErrorKind::Navigation:
            return "Navigation";
        case ErrorKind::Crashed:
            return "Crashed";
        case ErrorKind::BrowserGone:
            return "BrowserGone";
        case ErrorKind::InvalidArgument:
            return "InvalidArgument";
    }
    return "Unknown";
}

// ---- Browser -----------------------------------------------------------------------------

Browser::Browser(BrowserOptions options)
    : state_(std::make_shared<detail::BrowserState>(options.browserUrl, options.width,
                                                    options.height)) {}

Browser::~Browser() = default;

const std::string& Browser::StartError() const {
    return state_->error;
}

Result<Page> Browser::NewPage() {
    if (!state_->running()) return Error{ErrorKind::BrowserGone, state_->error};
    wkeWebView view = state_->engine.createView(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0,
                                                state_->width, state_->height);
    if (!view) return Error{ErrorKind::BrowserGone, "the browser could not open a page"};
    auto state = std::make_shared<detail::PageState>(state_, view);
    auto tree = state->Call("Page.getFrameTree");  // attaches the page, when it is still new
    if (!tree) return tree.error();
    const json& frame = tree.value()["frameTree"]["frame"];
    state->mainFrame = frame.value("id", "");
    state->loader = frame.value("loaderId", "");
    state->url = frame.value("url", "");
    state->loaded = true;
    // Every page behaves as the focused one: focus and caret work in each, side by side.
    if (auto focus = state->Call("Emulation.setFocusEmulationEnabled", {{"enabled", true}}); !focus)
        return focus.error();
    return Page(std::move(state));
}

// ---- Page ----------------------------------------------------------------------------------

Page::Page(std::shared_ptr<detail::PageState> state) : state_(std::move(state)) {}

Result<Response> Page::Goto(const std::string& url, int timeoutMs) {
    auto& s = *state_;
    auto started = s.Call("Page.navigate", {{"url", url}}, timeoutMs);
    if (!started) {
        if (started.error().kind == ErrorKind::InvalidArgument)
            return Error{ErrorKind::Navigation,
                         "cannot load " + url + ": " + started.error().message};
        return started.error();
    }
    if (std::string failed = started.value().value("errorText", ""); !failed.empty())
        return Error{ErrorKind::Navigation, "cannot load " + url + ": " + failed};
    std::string loader = started.value().value("loaderId", "");
    if (loader.empty()) return Response{s.url, 0};  // within the same document
    auto done =
        s.Wait([&] { return s.loader == loader && s.loaded; }, timeoutMs, "the load of " + url);
    if (!done) return done.error();
    auto status = s.statusOfLoader.find(loader);
    return Response{s.url, status == s.statusOfLoader.end() ? 0 : status->second};
}

Result<std::string> Page::Url() const {
    if (auto why = state_->Unusable()) return *why;
    return state_->url;
}

Result<std::string> Page::Evaluate(const std::string& expression, int timeoutMs) const {
    auto r = state_->Call("Runtime.evaluate",
                          {{"expression", expression},
                           {"awaitPromise", true},
                           {"returnByValue", true},
                           {"userGesture", true}},
                          timeoutMs);
    if (!r) {
        if (r.error().kind == ErrorKind::Timeout) state_->Post("Runtime.terminateExecution");
        if (r.error().kind == ErrorKind::InvalidArgument)
            return Error{ErrorKind::ScriptError, r.error().message};
        return r.error();
    }
    if (auto thrown = r.value().find("exceptionDetails"); thrown != r.value().end())
        return Error{ErrorKind::ScriptError, detail::ExceptionText(*thrown)};
    const json& value = r.value()["result"];
    if (auto plain = value.find("value"); plain != value.end()) return plain->dump();
    return std::string("null");  // undefined, NaN, Infinity: as JSON.stringify has them
}

Result<void> Page::WaitForLoad(int timeoutMs) const {
    auto& s = *state_;
    return s.Wait([&] { return s.loaded; }, timeoutMs, "the page's load");
}

Result<void> Page::WaitForUrl(const std::string& url, int timeoutMs) const {
    return WaitForUrl([&](const std::string& at) { return at == url; }, timeoutMs);
}

Result<void> Page::WaitForUrl(const std::function<bool(const std::string&)>& matches,
                              int timeoutMs) const {
    auto& s = *state_;
    return s.Wait([&] { return s.loaded && matches(s.url); }, timeoutMs,
                  "the page's address to match (it is " + s.url + ")");
}

void Page::OnDialog(std::function<DialogAnswer(const Dialog&)> handler) {
    state_->onDialog = std::move(handler);
}

void Page::OnConsole(std::function<void(const ConsoleMessage&)> handler) {
    state_->onConsole = std::move(handler);
}

Result<std::vector<Cookie>> Page::Cookies(const std::string& url) const {
    auto r = state_->Call("Network.getCookies", {{"urls", {url.empty() ? state_->url : url}}});
    if (!r) return r.error();
    std::vector<Cookie> cookies;
    for (const json& c : r.value().value("cookies", json::array()))
        cookies.push_back({c.value("name", ""), c.value("value", ""), c.value("domain", ""),
                           c.value("path", "/"), c.value("expires", -1.0),
                           c.value("httpOnly", false), c.value("secure", false)});
    return cookies;
}

Result<void> Page::SetCookie(const Cookie& cookie, const std::string& url) {
    json params = {{"name", cookie.name},
                   {"value", cookie.value},
                   {"path", cookie.path},
                   {"httpOnly", cookie.httpOnly},
                   {"secure", cookie.secure}};
    if (!cookie.domain.empty())
        params["domain"] = cookie.domain;
    else
        params["url"] = url.empty() ? state_->url : url;
    if (cookie.expires >= 0) params["expires"] = cookie.expires;
    auto r = state_->Call("Network.setCookie", params);
    if (!r) return r.error();
    if (!r.value().value("success", true))
        return Error{ErrorKind::InvalidArgument, "the browser refused the cookie " + cookie.name};
    return {};
}

}  // namespace qirlen
