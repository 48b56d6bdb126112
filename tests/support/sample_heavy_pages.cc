#include "tests/support/sample_heavy_pages.h"

#include <algorithm>

namespace testsupport::sample_room {
namespace {

struct StaticEntry {
    const char* name;
    const char* type;
    size_t bytes;
};

// About 3 MB in all, as a room page of the platform references.
constexpr StaticEntry kStatic[] = {
    {"site.css", "text/css", 300000},        {"brand.woff2", "font/woff2", 400000},
    {"cover-1.jpg", "image/jpeg", 350000},   {"cover-2.jpg", "image/jpeg", 350000},
    {"cover-3.jpg", "image/jpeg", 350000},   {"cover-4.jpg", "image/jpeg", 350000},
    {"poster.jpg", "image/jpeg", 200000},    {"intro.mp3", "audio/mpeg", 300000},
    {"vendor.js", "text/javascript", 500000}};

constexpr const char* kNonce = "0a1b2c3d4e5f";

// The style sheet names the font, so that a browser that takes the sheet fetches the font.
std::string Filler(const StaticEntry& entry) {
    std::string head;
    if (std::string(entry.name) == "site.css")
        head =
            "@font-face{font-family:brand;src:url(/static/brand.woff2)}"
            "body{font-family:brand}\n/*";
    else if (std::string(entry.name) == "vendor.js")
        head = "window.vendorLoaded = true;\n/*";
    std::string body = head + std::string(entry.bytes - head.size() - 2, 'x');
    return body + (head.empty() ? "xx" : "*/");
}

std::string CookieValue(const HttpRequest& request, const std::string& name) {
    std::string cookies = "; " + request.header("cookie");
    size_t at = cookies.find("; " + name + "=");
    if (at == std::string::npos) return "";
    at += name.size() + 3;
    return cookies.substr(at, cookies.find(';', at) - at);
}

}  // namespace

std::string WithHeavyReferences(std::string page) {
    std::string references = "<link rel=stylesheet href=/static/site.css>";
    for (int i = 1; i <= 4; ++i)
        references += "<img src=/static/cover-" + std::to_string(i) + ".jpg width=40 height=40>";
    references +=
        "<audio src=/static/intro.mp3 preload=auto></audio>"
        "<script src=/static/vendor.js></script>";
    if (size_t at = page.find("<body>"); at != std::string::npos) page.insert(at + 6, references);
    if (size_t at = page.find("<video "); at != std::string::npos)
        page.insert(at + 7, "poster=/static/poster.jpg ");
    return page;
}

std::optional<HttpResponse> StaticFile(const std::string& path) {
    std::string name = path.substr(0, path.find('?'));
    if (name.rfind("/static/", 0) != 0) return std::nullopt;
    name = name.substr(8);
    if (name == "ac.js")
        return HttpResponse{200,
                            "text/javascript",
                            "window.acSign = function (nonce) {"
                            " return nonce.split('').reverse().join(''); };",
                            {}};
    auto entry = std::find_if(std::begin(kStatic), std::end(kStatic),
                              [&](const StaticEntry& e) { return name == e.name; });
    if (entry == std::end(kStatic)) return HttpResponse{404, "text/plain", "no such file\n", {}};
    return HttpResponse{200, entry->type, Filler(*entry), {}};
}

HttpResponse InterstitialOr(const HttpRequest& request, const std::string& room) {
    std::string signature(kNonce);
    std::reverse(signature.begin(), signature.end());
    if (CookieValue(request, "__ac_signature") == signature) return {200, "text/html", room, {}};
    HttpResponse wall;
    wall.body =
        "<!doctype html><html><head><meta charset=utf-8></head><body>"
        "<script src=/static/ac.js></script><script>"
        "var nonce = (document.cookie.match(/__ac_nonce=([^;]+)/) || [])[1];"
        "document.cookie = '__ac_signature=' + window.acSign(nonce) + '; path=/';"
        "location.reload();</script></body></html>";
    wall.headers.push_back({"Set-Cookie", std::string("__ac_nonce=") + kNonce + "; Path=/"});
    return wall;
}

}  // namespace testsupport::sample_room
