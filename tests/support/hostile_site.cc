#include "tests/support/hostile_site.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>

namespace hostile {
namespace {

struct Table {
    std::mutex lock;
    std::map<std::string, testsupport::HttpResponse> pages;
    std::map<std::string, int> hits;
    std::map<std::string, std::map<std::string, std::string>> lastHeaders;
    std::set<std::string> echoes;
};

Table& TableOf(const Site* site) {
    static Table local, outside;
    return site == &Local() ? local : outside;
}

testsupport::HttpResponse Answer(Table& table, const testsupport::HttpRequest& request) {
    std::lock_guard<std::mutex> hold(table.lock);
    ++table.hits[request.path];
    table.lastHeaders[request.path] = request.headers;
    if (table.echoes.count(request.path)) {
        testsupport::HttpResponse echo;
        echo.contentType = "text/plain";
        echo.body = request.headers.count("cookie") ? request.headers.at("cookie") : "(none)";
        echo.headers.push_back({"Access-Control-Allow-Origin", request.header("origin")});
        echo.headers.push_back({"Access-Control-Allow-Credentials", "true"});
        return echo;
    }
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

void Site::EchoCookies(const std::string& path) {
    Table& table = TableOf(this);
    std::lock_guard<std::mutex> hold(table.lock);
    table.echoes.insert(path);
}

int Site::Hits(const std::string& path) const {
    Table& table = TableOf(this);
    std::lock_guard<std::mutex> hold(table.lock);
    auto it = table.hits.find(path);
    return it == table.hits.end() ? 0 : it->second;
}

std::string Site::LastHeader(const std::string& path, const std::string& name) const {
    Table& table = TableOf(this);
    std::lock_guard<std::mutex> hold(table.lock);
    auto request = table.lastHeaders.find(path);
    if (request == table.lastHeaders.end()) return "(no request)";
    auto header = request->second.find(name);
    return header == request->second.end() ? "(none)" : header->second;
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

namespace {

std::string ProgramBeside() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "qirlen").string();
}

// Reads both pipes to their ends (neither may fill up while the other is waited on).
void ReadBoth(int outFd, int errFd, CliRun& run, std::chrono::steady_clock::time_point deadline) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* into[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        if (poll(fds, 2, 200) <= 0) continue;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                into[k]->append(buffer, static_cast<size_t>(n));
            } else {
                fds[k].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args, int timeoutSeconds) {
    CliRun run;
    std::string program = ProgramBeside();
    if (access(program.c_str(), X_OK) != 0) {
        run.err = "no program at " + program;
        return run;
    }
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return run;
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    ReadBoth(out[0], err[0], run, deadline);
    close(out[0]);
    close(err[0]);
    if (child < 0) return run;
    int status = 0;
    if (std::chrono::steady_clock::now() >= deadline) kill(child, SIGKILL);
    waitpid(child, &status, 0);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string RoomChunks(const std::string& streamAddress) {
    std::string row =
        "1:{\"room\":{\"idStr\":\"9\",\"status\":2,\"streamUrl\":{\"hlsPullUrlMap\":"
        "{\"origin\":\"" +
        streamAddress + "\"}}}}\n";
    return "<script>(self.__rsc_f=self.__rsc_f||[]).push([0])</"
           "script><script>self.__rsc_f.push([1," +
           nlohmann::json(row).dump() + "])</script>";
}

}  // namespace hostile
