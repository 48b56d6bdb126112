#pragma once
// The automation library's modern face: a browser, its pages, locators that wait, trusted
// input, the browser's own pictures, and results that say why they failed. Texts are UTF-8.
//
//   qirlen::Browser browser;
//   qirlen::Page page = browser.NewPage().value();
//   auto response = page.Goto("https://example.org/");
//   if (!response) return std::puts(response.error().message.c_str()), 1;
//   page.Locator(qirlen::By::Css, "input[name=q]").Fill("你好");
//   page.Locator(qirlen::By::Text, "Search").Click();
//
// Every call runs on the thread that made the first Browser and returns when it is done:
// while it waits, it runs the browser's events itself, so there is nothing to pump. Calls
// into a page from its OnDialog or OnConsole callbacks are refused.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qirlen {

enum class ErrorKind {
    NotFound,         // nothing matches, or no such option, attribute, file
    Timeout,          // what was waited for did not happen in time
    ScriptError,      // a script threw, or its value cannot be sent back as JSON
    Navigation,       // a page could not be loaded
    Crashed,          // the page's renderer died; open a new page
    BrowserGone,      // the browser is not running (could not start, or ended)
    InvalidArgument,  // a bad selector, key, URL, element of the wrong kind
};
const char* ErrorKindName(ErrorKind kind);

struct Error {
    ErrorKind kind = ErrorKind::InvalidArgument;
    std::string message;
};

namespace detail {
[[noreturn]] inline void ValueOfError(const Error& error) {
    std::fprintf(stderr, "qirlen: value() of a failed result: %s: %s\n", ErrorKindName(error.kind),
                 error.message.c_str());
    std::abort();
}
}  // namespace detail

// The value of a call, or why there is none. value() of a failed result ends the program
// with the error on standard error: check ok() first where failure is possible.
template <typename T>
class Result {
  public:
    Result(T value) : value_(std::move(value)) {}
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& {
        if (!ok()) detail::ValueOfError(error_);
        return *value_;
    }
    // By value, so that `for (auto& x : page.Locator(...).All().value())` is safe.
    T value() && {
        if (!ok()) detail::ValueOfError(error_);
        return std::move(*value_);
    }
    T value_or(T fallback) const { return ok() ? *value_ : std::move(fallback); }
    const Error& error() const { return error_; }

  private:
    std::optional<T> value_;
    Error error_;
};

template <>
class Result<void> {
  public:
    Result() = default;
    Result(Error error) : failed_(true), error_(std::move(error)) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    void value() const {
        if (failed_) detail::ValueOfError(error_);
    }
    const Error& error() const { return error_; }

  private:
    bool failed_ = false;
    Error error_;
};

// How long the waiting calls wait unless told otherwise.
constexpr int kDefaultTimeoutMs = 5000;
constexpr int kDefaultNavigationTimeoutMs = 30000;

enum class By {
    Css,    // a CSS selector
    XPath,  // an XPath expression; only element nodes count
    Id,     // the id attribute, exactly
    Text,   // the innermost elements whose text contains this, whitespace collapsed
};

enum class ElementState { Attached, Detached, Visible, Hidden };

class Page;
namespace detail {
struct PageState;
struct BrowserState;
struct Step;
}  // namespace detail

// Where elements are, found anew by each call: a query in the page or inside what an earlier
// query found, or inside a frame's document. Actions wait until the element is attached,
// visible, enabled and still (no animation or transition moving it), then act with the
// browser's own input. A call that finds its element ready acts at once; otherwise it waits in
// the page, looking again as the page changes.
class Locator {
  public:
    // Elements inside the first element this one finds.
    Locator Find(By by, const std::string& text) const;
    // The document of the frame (iframe, frame) this locator finds: of any origin.
    Locator Frame() const;
    // The n-th (from 0) of the elements this locator finds; by default the first.
    Locator Nth(int index) const;

    // Trusted mouse input at the element's centre after scrolling it into view.
    Result<void> Click(int timeoutMs = kDefaultTimeoutMs) const;
    // Replaces the field's text with trusted text input; the field fires input, then change
    // as it loses focus.
    Result<void> Fill(const std::string& text, int timeoutMs = kDefaultTimeoutMs) const;
    // A key by its name ("Enter", "Tab", "ArrowDown", "a", "Control+a") with the element
    // focused.
    Result<void> Press(const std::string& key, int timeoutMs = kDefaultTimeoutMs) const;
    // Clicks a checkbox or radio button unless it is checked already (unchecks for Uncheck).
    Result<void> Check(int timeoutMs = kDefaultTimeoutMs) const;
    Result<void> Uncheck(int timeoutMs = kDefaultTimeoutMs) const;
    // Selects the option of a <select> with this value or else this label; fires input and
    // change.
    Result<void> SelectOption(const std::string& valueOrLabel,
                              int timeoutMs = kDefaultTimeoutMs) const;
    // Gives a file input these files (paths), as if chosen by the user.
    Result<void> SetInputFiles(const std::vector<std::string>& paths,
                               int timeoutMs = kDefaultTimeoutMs) const;

    // Reads wait until the element is attached. Text is what the page shows (innerText).
    Result<std::string> Text(int timeoutMs = kDefaultTimeoutMs) const;
    // The attribute's value; no value when the element lacks it.
    Result<std::optional<std::string>> Attribute(const std::string& name,
                                                 int timeoutMs = kDefaultTimeoutMs) const;
    // The value of an input, textarea or select.
    Result<std::string> Value(int timeoutMs = kDefaultTimeoutMs) const;
    // How many elements match now (no waiting).
    Result<int> Count() const;
    // A locator for each element that matches now.
    Result<std::vector<Locator>> All() const;
    Result<void> WaitFor(ElementState state = ElementState::Visible,
                         int timeoutMs = kDefaultTimeoutMs) const;
    // A PNG of the element as the browser renders it.
    Result<std::string> Screenshot(int timeoutMs = kDefaultTimeoutMs) const;

    // How the locator reads, for messages: "css 'form' >> frame >> text 'Next'".
    std::string Describe() const;

  private:
    friend class Page;
    Locator(std::shared_ptr<detail::PageState> page,
            std::shared_ptr<const std::vector<detail::Step>> steps);
    Locator With(const detail::Step& step) const;

    std::shared_ptr<detail::PageState> page_;
    std::shared_ptr<const std::vector<detail::Step>> steps_;
};

struct Response {
    std::string url;  // the final address, after redirects
    int status = 0;   // the HTTP status; 0 where there is none (file:, data:)
};

struct Cookie {
    std::string name, value;
    std::string domain, path = "/";
    double expires = -1;  // seconds since the epoch; -1 for a session cookie
    bool httpOnly = false, secure = false;
};

struct Dialog {
    std::string type;  // alert, confirm, prompt, beforeunload
    std::string message, defaultPrompt;
};
struct DialogAnswer {
    bool accept = false;
    std::string promptText;  // for a prompt that is accepted
};

struct ConsoleMessage {
    std::string type;  // log, info, warning, error, debug ...
    std::string text;  // the arguments, as the console shows them, joined by spaces
};

// One page of the browser, with its own state: several live at once. Copies share the page;
// the last copy closes it.
class Page {
  public:
    // Loads `url` and waits for its load event. A page that answers 404 loads: its status says.
    Result<Response> Goto(const std::string& url, int timeoutMs = kDefaultNavigationTimeoutMs);
    Result<std::string> Url() const;
    Result<std::string> Title() const;
    Result<std::string> Content() const;  // the document as HTML
    // Runs a script expression in the page and gives its value as JSON text (a promise is
    // awaited; undefined gives "null"). A throw is a ScriptError with its message.
    Result<std::string> Evaluate(const std::string& expression,
                                 int timeoutMs = kDefaultNavigationTimeoutMs) const;
    // Waits until the current document has loaded (its load event).
    Result<void> WaitForLoad(int timeoutMs = kDefaultNavigationTimeoutMs) const;
    // Waits until the page is at this address (or one the predicate takes) and has loaded.
    Result<void> WaitForUrl(const std::string& url,
                            int timeoutMs = kDefaultNavigationTimeoutMs) const;
    Result<void> WaitForUrl(const std::function<bool(const std::string&)>& matches,
                            int timeoutMs = kDefaultNavigationTimeoutMs) const;

    // The page's dialogs; without a handler each is dismissed (an alert is closed).
    void OnDialog(std::function<DialogAnswer(const Dialog&)> handler);
    void OnConsole(std::function<void(const ConsoleMessage&)> handler);

    // The cookies the page's address (or `url`) would send.
    Result<std::vector<Cookie>> Cookies(const std::string& url = "") const;
    // Sets a cookie for `url` (default: the page's address) unless the cookie names a domain.
    Result<void> SetCookie(const Cookie& cookie, const std::string& url = "");

    class Locator Locator(By by, const std::string& text) const;

  private:
    friend class Browser;
    explicit Page(std::shared_ptr<detail::PageState> state);
    std::shared_ptr<detail::PageState> state_;
};

struct BrowserOptions {
    // A browser elsewhere to work in (its DevTools address, as QIRLEN_BROWSER_URL takes);
    // empty: QIRLEN_BROWSER_URL, or else a Chromium of our own. The first Browser of the
    // process decides.
    std::string browserUrl;
    int width = 1280, height = 800;  // of each page's window
};

// The browser: started (or attached to) by the first Browser of the process, ended when the
// last one goes. Pages keep it alive.
class Browser {
  public:
    explicit Browser(BrowserOptions options = {});
    ~Browser();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    // Why the browser is not there; empty while it is.
    const std::string& StartError() const;
    Result<Page> NewPage();

  private:
    std::shared_ptr<detail::BrowserState> state_;
};

}  // namespace qirlen
