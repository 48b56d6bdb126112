#include "serve/on_live.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "app/output_checks.h"

extern char** environ;

namespace serve {
namespace {

std::vector<std::string> EnvironmentWith(const Environment& extra) {
    std::set<std::string> ours;
    std::vector<std::string> entries;
    for (const auto& [name, value] : extra) {
        ours.insert(name);
        entries.push_back(name + "=" + app::WithoutControlCharacters(value));
    }
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        if (!ours.count(text.substr(0, text.find('=')))) entries.push_back(text);
    }
    return entries;
}

// In the forked child of a process with other threads: only calls that are safe there.
[[noreturn]] void RunInChild(char* const argv[], char* const envp[], const sigset_t& none) {
    // The grandchild runs the command, so that no one has to wait for it.
    pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    int null = open("/dev/null", O_RDONLY);
    if (null > 0) dup2(null, STDIN_FILENO);
    if (close_range(3, ~0U, 0) != 0)
        for (int fd = 3; fd < 65536; ++fd) close(fd);
    execve("/bin/sh", argv, envp);
    _exit(127);
}

}  // namespace

bool StartCommand(const std::string& command, const Environment& extra, std::string& error) {
    std::vector<std::string> entries = EnvironmentWith(extra);
    std::vector<char*> envp;
    for (std::string& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string sh = "/bin/sh", dashC = "-c", text = command;
    char* argv[] = {sh.data(), dashC.data(), text.data(), nullptr};
    sigset_t none;
    sigemptyset(&none);
    pid_t child = fork();
    if (child < 0) {
        error = std::string("cannot start the command: ") + std::strerror(errno);
        return false;
    }
    if (child == 0) RunInChild(argv, envp.data(), none);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    error = "cannot start the command: no process to run it";
    return false;
}

}  // namespace serve
