// The examples' web site on loopback: the files of a directory, and a sign-in that sets a
// session's cookie. Runs a command with {site} in its arguments replaced by the site's address
// and answers with the command's exit status.
//   example_site PAGES_DIR COMMAND ARGS...
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/http_server.h"

namespace {

using testsupport::HttpRequest;
using testsupport::HttpResponse;

std::string FormDecoded(const std::string& raw) {
    std::string value;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '%' && i + 2 < raw.size() && std::isxdigit(raw[i + 1]) &&
            std::isxdigit(raw[i + 2])) {
            value += static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            value += raw[i] == '+' ? ' ' : raw[i];
        }
    }
    return value;
}

// The value of the field `name` in a query, as a browser sends a form's fields.
std::string QueryValue(const std::string& path, const std::string& name) {
    auto query = path.find('?');
    if (query == std::string::npos) return "";
    std::istringstream fields(path.substr(query + 1));
    for (std::string field; std::getline(fields, field, '&');)
        if (field.rfind(name + "=", 0) == 0) return FormDecoded(field.substr(name.size() + 1));
    return "";
}

std::string HtmlText(const std::string& text) {
    std::string escaped;
    for (char c : text) escaped += c == '<' ? "&lt;" : c == '&' ? "&amp;" : std::string(1, c);
    return escaped;
}

HttpResponse Redirect(const std::string& to,
                      std::vector<std::pair<std::string, std::string>> headers = {}) {
    headers.emplace_back("Location", to);
    return {302, "text/html", "", std::move(headers)};
}

struct Site {
    std::string pages;
    std::mutex lock;
    std::map<std::string, std::string> userOfSession;

    HttpResponse Answer(const HttpRequest& request) {
        std::string path = request.path.substr(0, request.path.find('?'));
        if (path == "/login") return SignIn(request);
        if (path == "/account") return Account(request);
        std::ifstream file(pages + path, std::ios::binary);
        if (path.find("..") != std::string::npos || !file)
            return {404, "text/plain", "no such page", {}};
        std::ostringstream body;
        body << file.rdbuf();
        return {200, "text/html; charset=utf-8", body.str(), {}};
    }

    // The password of every name is "secret".
    HttpResponse SignIn(const HttpRequest& request) {
        if (QueryValue(request.path, "password") != "secret") return Redirect("/login.html?failed");
        std::lock_guard guard(lock);
        std::string session =
            "s" + std::to_string(userOfSession.size() + 1) + "x" + std::to_string(getpid());
        userOfSession[session] = QueryValue(request.path, "user");
        return Redirect("/account", {{"Set-Cookie", "session=" + session + "; Path=/; HttpOnly"}});
    }

    HttpResponse Account(const HttpRequest& request) {
        std::string cookie = request.header("cookie");
        auto at = cookie.find("session=");
        std::lock_guard guard(lock);
        auto user = at == std::string::npos
                        ? userOfSession.end()
                        : userOfSession.find(cookie.substr(at + 8, cookie.find(';', at) - at - 8));
        if (user == userOfSession.end()) return Redirect("/login.html");
        return {200,
                "text/html; charset=utf-8",
                "<!doctype html><meta charset=utf-8><title>Account</title><h1>欢迎, " +
                    HtmlText(user->second) + "</h1>",
                {}};
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return std::fprintf(stderr, "usage: example_site PAGES_DIR COMMAND ARGS...\n"), 2;
    Site site;
    site.pages = argv[1];
    testsupport::HttpServer server([&](const HttpRequest& r) { return site.Answer(r); });
    std::string address = server.Url("/");
    address.pop_back();
    std::vector<std::string> args(argv + 2, argv + argc);
    for (std::string& arg : args)
        if (auto at = arg.find("{site}"); at != std::string::npos) arg.replace(at, 6, address);
    std::vector<char*> command;
    for (std::string& arg : args) command.push_back(arg.data());
    command.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        execv(command[0], command.data());
        std::perror(command[0]);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
