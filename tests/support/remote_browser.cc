#include "tests/support/remote_browser.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/ascii_text.h"

namespace testsupport {
namespace {

std::string BrowserBinary() {
    for (const char* path : {"/usr/bin/chromium-headless-shell", "/usr/lib/chromium/chromium"})
        if (access(path, X_OK) == 0) return path;
    return "chromium";
}

// Whether `answer` holds a whole HTTP answer: its head and as much body as Content-Length says.
bool WholeAnswer(const std::string& answer) {
    size_t head = answer.find("\r\n\r\n");
    if (head == std::string::npos) return false;
    std::string lower = platform::AsciiLower(answer.substr(0, head));
    size_t field = lower.find("\r\ncontent-length:");
    if (field == std::string::npos) return false;  // ends when the server closes
    size_t length = std::strtoul(lower.c_str() + field + 17, nullptr, 10);
    return answer.size() >= head + 4 + length;
}

}  // namespace

RemoteBrowser::RemoteBrowser(const std::vector<std::string>& extraSwitches) {
    char dir[] = "/tmp/qirlen-remote-XXXXXX";
    if (!mkdtemp(dir)) return;
    profile_ = dir;
    std::vector<std::string> args = {BrowserBinary(),
                                     "--remote-debugging-port=0",
                                     "--remote-debugging-address=127.0.0.1",
                                     "--user-data-dir=" + profile_,
                                     "--headless",
                                     "--no-first-run",
                                     "--disable-gpu",
                                     "--mute-audio",
                                     "--disable-web-security",
                                     "--disable-site-isolation-trials",
                                     "--disable-features=IsolateOrigins,site-per-process"};
    if (geteuid() == 0) args.push_back("--no-sandbox");
    args.insert(args.end(), extraSwitches.begin(), extraSwitches.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 1);
        dup2(devnull, 2);
        setpgid(0, 0);  // a browser of its own, as one started by hand
        execv(argv[0], argv.data());
        _exit(127);
    }
    // It writes the file (a new name moved in place) once it listens; nothing else tells.
    int changes = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    inotify_add_watch(changes, profile_.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream file(profile_ + "/DevToolsActivePort");
        int port = 0;
        std::string path;
        if (file >> port >> path && port > 0 && !path.empty()) {
            port_ = port;
            path_ = path;
            break;
        }
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        pollfd p{changes, POLLIN, 0};
        poll(&p, 1, 500);  // a browser that exits says so through waitpid only
        char drained[4096];
        while (read(changes, drained, sizeof drained) > 0) {
        }
    }
    close(changes);
}

RemoteBrowser::~RemoteBrowser() {
    Kill();
    std::error_code ignored;
    if (!profile_.empty()) std::filesystem::remove_all(profile_, ignored);
}

std::string RemoteBrowser::wsUrl() const {
    return "ws://127.0.0.1:" + std::to_string(port_) + path_;
}

std::string RemoteBrowser::httpUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

bool RemoteBrowser::Answers() const {
    return pid_ > 0 && kill(pid_, 0) == 0 && !HttpGet(port_, "/json/version").empty();
}

std::vector<std::string> RemoteBrowser::PageIds() const {
    std::vector<std::string> ids;
    auto list = nlohmann::json::parse(HttpGet(port_, "/json/list"), nullptr, false);
    if (!list.is_array()) return ids;
    for (const auto& target : list)
        if (target.value("type", "") == "page") ids.push_back(target.value("id", ""));
    return ids;
}

void RemoteBrowser::Kill() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGKILL);
    kill(-pid_, SIGCONT);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

void RemoteBrowser::Pause() {
    if (pid_ > 0) kill(-pid_, SIGSTOP);
}

void RemoteBrowser::Resume() {
    if (pid_ > 0) kill(-pid_, SIGCONT);
}

std::string HttpGet(int port, const std::string& path) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::string request =
            "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        (void)!write(s, request.data(), request.size());
        char buf[65536];
        pollfd p{s, POLLIN, 0};
        // The browser keeps the connection open whatever the request says: the answer ends
        // where its length says.
        while (!WholeAnswer(answer) && poll(&p, 1, 5000) > 0) {
            ssize_t n = read(s, buf, sizeof buf);
            if (n <= 0) break;
            answer.append(buf, static_cast<size_t>(n));
        }
    }
    close(s);
    if (answer.rfind("HTTP/1.1 200", 0) != 0 && answer.rfind("HTTP/1.0 200", 0) != 0) return "";
    size_t body = answer.find("\r\n\r\n");
    return body == std::string::npos ? "" : answer.substr(body + 4);
}

}  // namespace testsupport
