#include "hostctl/page_query.h"

#include <algorithm>
#include <cctype>

#include "hostctl/engine_library.h"
#include "platform/ascii_text.h"
#include "platform/codepage.h"
#include "platform/script_literal.h"

namespace hostctl {
namespace {

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t at; (at = text.find(separator, from)) != std::string::npos;
         from = at + separator.size())
        pieces.push_back(text.substr(from, at - from));
    pieces.push_back(text.substr(from));
    return pieces;
}

bool ContainsInnerHtml(const std::string& text) {
    return platform::AsciiLower(text).find("innerhtml") != std::string::npos;
}

// "a.innerHTML==text": the elements of a CSS selector whose innerHTML equals a text.
std::string InnerHtmlExpression(const std::string& selector) {
    auto pieces = Split(selector, ".");
    if (pieces.size() == 2) {
        auto sides = Split(pieces[1], "==");
        if (sides.size() == 2)
            return "(function(){var elems = document.querySelectorAll('" + pieces[0] +
                   "'); for(var i = 0; i < elems.length; i++){ if(elems[i].innerHTML == '" +
                   sides[1] + "'){ return elems[i]; }}})()";
    }
    return platform::Utf8ToGbk(
        "console.log('选择器配置错误,如果选择a元素的innerHTML属性 请 输入a.innerHTML')");
}

// A CSS string's contents: quote, backslash and line breaks escaped as characters of the
// decoded text, so that a byte that starts no GBK character cannot carry one of them along.
std::string CssStringContents(const std::string& gbk) {
    std::u16string quoted;
    for (char16_t c : platform::GbkToUtf16(gbk)) {
        if (c == u'"' || c == u'\\') quoted.push_back(u'\\');
        if (c == u'\n' || c == u'\r') {
            quoted += c == u'\n' ? u"\\a " : u"\\d ";
            continue;
        }
        quoted.push_back(c);
    }
    return platform::Utf16ToGbk(quoted);
}

// An attribute selector from "name", "name=value" or an already bracketed "[...]". The value
// is quoted for CSS, and the whole selector escaped for the single-quoted script string
// around it, so that no value can end that string.
std::string BracketedAttribute(const std::string& selector) {
    if (!selector.empty() && selector.front() == '[' && selector.back() == ']') return selector;
    auto eq = selector.find('=');
    std::string css = "[" + selector + "]";
    if (eq != std::string::npos) {
        std::string value = selector.substr(eq + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        css = "[" + selector.substr(0, eq) + "=\"" + CssStringContents(value) + "\"]";
    }
    return platform::EscapeForScriptLiteral(css);
}

}  // namespace

std::string PageQuery::BuildScript(int kind, const std::string& selector, int index) {
    std::string position = std::to_string(index <= 0 ? 0 : index - 1);
    std::string element;
    if (kind != 1)
        element = "document.querySelectorAll('" + selector + "')[" + position + "]";
    else if (ContainsInnerHtml(selector))
        element = InnerHtmlExpression(selector);
    else
        element =
            "document.querySelectorAll('" + BracketedAttribute(selector) + "')[" + position + "]";
    return "return " + element + ".innerHTML";
}

std::string PageQuery::Query(wkeWebView view, int kind, const std::string& selector, int index) {
    return Evaluate(view, platform::GbkToUtf8(BuildScript(kind, selector, index)));
}

// The page's own script cannot reach this world: whatever it replaced (querySelectorAll,
// JSON, the prototypes), the read sees the document through built-ins of its own.
std::string PageQuery::Evaluate(wkeWebView view, const std::string& utf8Script) {
    const EngineEntries& e = Engine();
    last_.clear();
    lastFailed_ = false;
    if (!view || !e.wkeGlobalExec || !e.wkeRunJsInIsolatedWorld || !e.jsToString) return last_;
    jsValue value = e.wkeRunJsInIsolatedWorld(view, 0, utf8Script.c_str(), true);
    lastFailed_ = e.wkeLastRunFailed && e.wkeLastRunFailed(view);
    const char* text = e.jsToString(e.wkeGlobalExec(view), value);
    last_ = text ? text : "";
    return last_;
}

std::string ConvertUtf8(const std::string& utf8) {
    return platform::Utf8ToGbk(utf8);
}

std::string ConvertUtf8(const std::vector<uint8_t>& utf8) {
    return platform::Utf8ToGbk(std::string(utf8.begin(), utf8.end()));
}

std::string ConvertUtf8(intptr_t) {
    return {};
}

}  // namespace hostctl
