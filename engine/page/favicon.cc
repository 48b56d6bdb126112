// The page's icon: the address its document names (or /favicon.ico of a web page), loaded
// through the page, with its cookies, and handed to the host from the event loop.
#include "engine/page/page.h"
#include "platform/base64.h"

namespace engine {
namespace {

// The text a run answered, or "" for anything else.
std::string TextOf(const std::optional<nlohmann::json>& remote) {
    if (!remote || remote->value("type", "") != "string") return {};
    auto value = remote->find("value");
    return value != remote->end() && value->is_string() ? value->get<std::string>() : "";
}

}  // namespace

int Page::RequestFavicon(wkeOnNetGetFaviconCallback callback, void* param) {
    if (!callback || !EnsureAttached()) return 0;
    static const char* kFind =
        "(function(){var l=document.querySelector('link[rel~=\"icon\"]');"
        "if(l&&l.href)return l.href;"
        "return /^https?:/.test(location.href)?location.origin+'/favicon.ico':'';})()";
    std::string url = TextOf(scripts_.Run(1, kFind, false));
    if (url.empty()) return 0;
    CallResult loaded =
        session_.Call("Network.loadNetworkResource",
                      {{"frameId", frames_.main},
                       {"url", url},
                       {"options", {{"disableCache", false}, {"includeCredentials", true}}}},
                      10000);
    std::string bytes;
    const auto resource = loaded.ok ? loaded.result.value("resource", nlohmann::json::object())
                                    : nlohmann::json::object();
    if (resource.value("success", false) && resource.contains("stream")) {
        std::string stream = resource.value("stream", "");
        for (int guard = 0; guard < 4096; ++guard) {
            CallResult chunk =
                session_.Call("IO.read", {{"handle", stream}, {"size", 1 << 20}}, 10000);
            if (!chunk.ok) break;
            std::string data = chunk.result.value("data", "");
            bytes +=
                chunk.result.value("base64Encoded", false) ? platform::DecodeBase64(data) : data;
            if (chunk.result.value("eof", true)) break;
        }
        session_.Post("IO.close", {{"handle", stream}});
    }
    if (bytes.empty()) return 0;
    Queue([callback, param, url, bytes](Page& p) {
        std::string copy = bytes;
        wkeMemBuf buf{0, copy.data(), copy.size()};
        callback(p.handle(), param, url.c_str(), &buf);
    });
    return 1;
}

}  // namespace engine
