#include "serve/routes.h"

#include <optional>

#include "app/text_rules.h"
#include "app/texts.h"
#include "platform/codepage.h"

namespace serve {
namespace {

constexpr size_t kMaxRoomIdDigits = 32;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> PercentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

Route Bad(std::string why) {
    Route route;
    route.kind = Route::Kind::kBadRequest;
    route.error = std::move(why);
    return route;
}

// quality, codec and format from the query; the format may come from the link's extension.
std::optional<std::string> ReadWish(const std::string& query, app::StreamWish& wish) {
    for (const char* name : {"quality", "codec", "format"})
        if (auto value = QueryParameter(query, name))
            if (auto why = WishOption(name, *value, wish)) return why;
    return std::nullopt;
}

}  // namespace

bool IsWebRid(const std::string& text) {
    return !text.empty() && text.size() <= kMaxRoomIdDigits &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

std::optional<std::string> WishOption(const std::string& name, const std::string& value,
                                      app::StreamWish& wish) {
    if (name == "quality") {
        wish.quality = platform::Utf8ToGbk(value);
    } else if (name == "codec") {
        if (value != "h264" && value != "h265") return "codec takes h264 or h265";
        wish.codec = value;
    } else if (name == "format") {
        if (value != "hls" && value != "flv") return "format takes hls or flv";
        wish.flv = value == "flv";
    } else {
        return "no option " + name + " (quality=, codec=, format=)";
    }
    return std::nullopt;
}

std::optional<std::string> QueryParameter(const std::string& query, const std::string& name) {
    for (size_t from = 0; from <= query.size();) {
        size_t end = query.find('&', from);
        if (end == std::string::npos) end = query.size();
        std::string pair = query.substr(from, end - from);
        size_t equals = pair.find('=');
        if (pair.substr(0, equals) == name)
            return PercentDecoded(equals == std::string::npos ? "" : pair.substr(equals + 1));
        from = end + 1;
    }
    return std::nullopt;
}

std::string CacheKey(const ResolveRequest& request) {
    return request.link + '\x1f' + request.wish.quality + '\x1f' + request.wish.codec + '\x1f' +
           (request.wish.flv ? "flv" : "hls");
}

std::string LinkOfKey(const std::string& key) {
    return key.substr(0, key.find('\x1f'));
}

Route RouteOf(const HttpRequest& request) {
    Route route;
    if (request.method != "GET" && request.method != "HEAD") {
        route.kind = Route::Kind::kBadMethod;
        return route;
    }
    const std::string& path = request.path;
    if (path == "/healthz") route.kind = Route::Kind::kHealth;
    if (path == "/metrics") route.kind = Route::Kind::kMetrics;
    if (path == "/rooms") route.kind = Route::Kind::kRooms;
    if (path == "/playlist.m3u") route.kind = Route::Kind::kPlaylist;
    if (path == "/events") route.kind = Route::Kind::kEvents;
    if (route.kind != Route::Kind::kNotFound) return route;
    app::StreamWish wish;
    if (path == "/douyin") {
        std::optional<std::string> text = QueryParameter(request.query, "url");
        if (!text) return Bad("url= names no link");
        std::optional<std::string> link = app::LinkToLoad(platform::Utf8ToGbk(*text));
        if (!link) return Bad(platform::GbkToUtf8(app::texts::WrongLinkMessage()));
        route.request.link = *link;
    } else if (path.rfind("/douyin/", 0) == 0) {
        std::string id = path.substr(std::string("/douyin/").size());
        std::string extension;
        if (size_t dot = id.find('.'); dot != std::string::npos) {
            extension = id.substr(dot);
            id.resize(dot);
        }
        if (extension != "" && extension != ".m3u8" && extension != ".flv" && extension != ".json")
            return route;
        if (!IsWebRid(id)) return Bad("not a room id: the web id of a room is its digits");
        route.request.link = app::texts::StreamerRoomAddress(id);
        wish.flv = extension == ".flv";
        if (extension == ".json") route.kind = Route::Kind::kJson;
    } else {
        return route;
    }
    if (auto why = ReadWish(request.query, wish)) return Bad(*why);
    route.request.wish = wish;
    if (route.kind != Route::Kind::kJson) route.kind = Route::Kind::kStream;
    return route;
}

}  // namespace serve
