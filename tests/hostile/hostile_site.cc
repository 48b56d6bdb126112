#include "tests/hostile/hostile_site.h"

#include <cstdlib>
#include <map>
#include <mutex>

namespace hostile {
namespace {

struct Table {
    std::mutex lock;
    std::map<std::string, testsupport::HttpResponse> pages;
    std::map<std::string, int> hits;
};

Table& TableOf(const Site* site) {
    static Table local, outside;
    return site == &Local() ? local : outside;
}

testsupport::HttpResponse Answer(Table& table, const testsupport::HttpRequest& request) {
    std::lock_guard<std::mutex> hold(table.lock);
    ++table.hits[request.path];
    auto page = table.pages.find(request.path);
    if (page != table.pages.end()) return page->second;
    testsupport::HttpResponse missing;
    missing.status = 404;
    missing.body = "no such page";
    return missing;
}

}  // namespace

Site& Local() {
    static Site site;
    return site;
}

Site& Public() {
    static Site site;
    return site;
}

void Site::Serve(const std::string& path, testsupport::HttpResponse response) {
    Table& table = TableOf(this);
    std::lock_guard<std::mutex> hold(table.lock);
    table.pages[path] = std::move(response);
}

void Site::Serve(const std::string& path, const std::string& html) {
    testsupport::HttpResponse page;
    page.body = html;
    Serve(path, std::move(page));
}

int Site::Hits(const std::string& path) const {
    Table& table = TableOf(this);
    std::lock_guard<std::mutex> hold(table.lock);
    auto it = table.hits.find(path);
    return it == table.hits.end() ? 0 : it->second;
}

std::string Site::Url(const std::string& host, const std::string& path) const {
    return "http://" + host + ":" + std::to_string(port()) + path;
}

int Site::port() const {
    return server_ ? server_->port() : 0;
}

void StartSites() {
    for (Site* site : {&Local(), &Public()}) {
        Table& table = TableOf(site);
        site->server_ = new testsupport::HttpServer(
            [&table](const testsupport::HttpRequest& r) { return Answer(table, r); });
    }
    std::string args = "'--host-resolver-rules=MAP v.douyin.com 127.0.0.1, MAP *.test 127.0.0.1'";
    // Chromium knows the share host as HTTPS-only: the servers answer TLS on the same port.
    args += " --ignore-certificate-errors";
    args +=
        " --ip-address-space-overrides=127.0.0.1:" + std::to_string(Public().port()) + "=public";
    if (const char* more = std::getenv("QIRLEN_CHROMIUM_ARGS")) args += std::string(" ") + more;
    setenv("QIRLEN_CHROMIUM_ARGS", args.c_str(), 1);
}

}  // namespace hostile
