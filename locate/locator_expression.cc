#include "locate/locator_expression.h"

#include <string_view>
#include <vector>

#include "locate/script_literal.h"
#include "platform/ascii_text.h"

extern "C" const char locate_xpath_lookup_js[];
extern "C" const char locate_find_in_document_all_js[];
extern "C" const char locate_find_in_element_walk_js[];
extern "C" const char locate_dom_by_position_js[];

namespace locate {

const char kMissingElementTail[] = "\r\nif(l_Object==null){window.top.Elementundefined();}";
const char kLocatedGuard[] = "\r\nl_Object=window.__qirlenBridge.located(l_Object,window);";

std::string IndexGuard(const std::string& listExpression, int32_t index) {
    return "\r\nif(!window.__qirlenBridge.within(" + listExpression + "," + std::to_string(index) +
           ")){l_Object=null;}";
}

namespace {

struct ListKind {
    const char* kind;
    const char* lookup;  // the document method; the index picks one of its matches
    bool indexed;
};

constexpr ListKind kDocumentKinds[] = {
    {"getElementById", "var l_Object = document.getElementById('", false},
    {"getElementsByClassName", "var l_Object = document.getElementsByClassName('", true},
    {"getElementsByTagName", "var l_Object = document.getElementsByTagName('", true},
    {"getElementsByName", "var l_Object = document.getElementsByName('", true},
    {"querySelectorAll", "var l_Object = document.querySelectorAll('", true},
};

// The kinds with an expression of their own; "EnterElement" takes what is there.
constexpr const char* kOtherKinds[] = {"expression", "All", "XPath", "coordinates", "EnterElement"};

template <typename Visit>
void ForEachKind(Visit visit) {
    for (const ListKind& k : kDocumentKinds) visit(k.kind);
    for (const char* kind : kOtherKinds) visit(kind);
}

std::string Quoted(const std::string& text) {
    return EscapeForScriptLiteral(text);
}

// "expression" and "All": attribute==value, split at the first "==".
std::string AttributeMatch(const char* definitions, const std::string& text, int32_t index) {
    size_t at = text.find("==");
    if (at == std::string::npos) return std::string("var l_Object = {}") + kLocatedGuard;
    return std::string(definitions) + "var l_Object = findElementAll('" +
           Quoted(text.substr(0, at)) + "','" + Quoted(text.substr(at + 2)) + "'," +
           std::to_string(index) + ");" + kLocatedGuard + kMissingElementTail;
}

std::vector<std::string> SplitAtSemicolons(const std::string& text) {
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t at = text.find(';'); at != std::string::npos; at = text.find(';', from)) {
        pieces.push_back(text.substr(from, at - from));
        from = at + 1;
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

// x;y are pasted as script numbers, so anything else is refused: l_Object is then null and
// the tail reports a missing element.
std::string Coordinates(const std::string& text) {
    std::vector<std::string> pieces = SplitAtSemicolons(text);
    std::string body = locate_dom_by_position_js;
    if (pieces.size() >= 2 && IsScriptNumber(pieces[0]) && IsScriptNumber(pieces[1]))
        body += "\r\nvar l_Object = GetDomByPosition(" + pieces[0] + "," + pieces[1] + ")";
    else
        body += "\r\nvar l_Object = null";
    return body + kLocatedGuard + kMissingElementTail;
}

}  // namespace

std::string LocatorExpression(const std::string& kind, const std::string& text, int32_t index) {
    for (const ListKind& k : kDocumentKinds) {
        if (kind != k.kind) continue;
        std::string body = k.lookup + Quoted(text) + "')";
        if (k.indexed) {
            // The same lookup again, for its length.
            constexpr std::string_view kDeclaration = "var l_Object = ";
            std::string list = body.substr(kDeclaration.size());
            body += "[" + std::to_string(index) + "]" + IndexGuard(list, index);
        }
        return body + kLocatedGuard + kMissingElementTail;
    }
    if (kind == "expression") return AttributeMatch(locate_find_in_element_walk_js, text, index);
    if (kind == "All") return AttributeMatch(locate_find_in_document_all_js, text, index);
    if (kind == "XPath")
        return std::string(locate_xpath_lookup_js) + "\r\nvar l_Object = _x('" + Quoted(text) +
               "')[" + std::to_string(index) + "]" +
               IndexGuard("_x('" + Quoted(text) + "')", index) + kLocatedGuard +
               kMissingElementTail;
    if (kind == "coordinates") return Coordinates(text);
    // "EnterElement" and unknown kinds: the l_Object already there
    return std::string(kLocatedGuard) + kMissingElementTail;
}

bool IsLocatorKind(const std::string& kind) {
    bool known = false;
    ForEachKind([&](const char* k) { known = known || kind == k; });
    return known;
}

std::string DescribeUnknownKind(const std::string& kind) {
    std::string resembled, kinds;
    ForEachKind([&](const char* k) {
        if (platform::AsciiLower(kind) == platform::AsciiLower(k)) resembled = k;
        kinds += kinds.empty() ? k : std::string(", ") + k;
    });
    std::string said = "unknown locator kind \"" + kind + "\"";
    if (!resembled.empty()) said += " (did you mean \"" + resembled + "\"?)";
    return said +
           ": it locates nothing, the operation goes on with what the frame located last (as "
           "\"EnterElement\" does), if anything. The kinds: " +
           kinds;
}

}  // namespace locate
