#pragma once
// What a request asks for: the stable link of a room (by its web id or by a link the
// platform gave), its JSON, or the service's own state. Only the platform's own link forms
// are ever loaded: a client never names another address for the service to fetch.
#include <string>

#include "serve/http_server.h"
#include "serve/resolver.h"

namespace serve {

struct Route {
    enum class Kind { kStream, kJson, kHealth, kMetrics, kNotFound, kBadRequest, kBadMethod };
    Kind kind = Kind::kNotFound;
    ResolveRequest request;  // kStream, kJson
    std::string error;       // kBadRequest: why (UTF-8, one line)
};

Route RouteOf(const HttpRequest& request);

// The query value of `name`, percent-decoded ("+" is a space); nothing when absent or when
// its encoding is broken.
std::optional<std::string> QueryParameter(const std::string& query, const std::string& name);

// The key under which one answer is kept: the link and every option.
std::string CacheKey(const ResolveRequest& request);

}  // namespace serve
