#include "engine/process/process_group.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace engine {
namespace {

// The record getdents64 fills in; readdir would allocate.
struct DirEntry {
    ino64_t inode;
    off64_t next;
    unsigned short length;
    unsigned char type;
    char name[1];
};

// Calls `visit(name, type)` for each entry of the directory from where it is read now.
template <typename Visit>
void ForEachEntry(int dirFd, Visit&& visit) {
    alignas(8) char buffer[1024];
    for (;;) {
        long got = syscall(SYS_getdents64, dirFd, buffer, sizeof buffer);
        if (got <= 0) return;
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const DirEntry*>(buffer + at);
            at += entry->length;
            if (std::strcmp(entry->name, ".") != 0 && std::strcmp(entry->name, "..") != 0)
                visit(entry->name, entry->type);
        }
    }
}

bool IsNumber(const char* text) {
    if (!*text) return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

long ReadNumber(const char*& p) {
    while (*p == ' ') ++p;
    long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + (*p - '0');
    return value;
}

// From the text of /proc/PID/stat: "PID (name) STATE PPID PGRP ...". The name may hold
// anything, parentheses included, so the fields are counted from its last ')'.
bool RunsInGroup(const char* stat, pid_t group) {
    const char* p = std::strrchr(stat, ')');
    if (!p || p[1] != ' ') return false;
    char state = p[2];
    if (state == 'Z' || state == 'X' || state == 'x') return false;
    p += 3;
    ReadNumber(p);  // the parent
    return ReadNumber(p) == group;
}

bool ProcessRunsInGroup(int procFd, const char* pid, pid_t group) {
    char path[64];
    size_t length = std::strlen(pid);
    if (length + sizeof "/stat" > sizeof path) return false;
    std::memcpy(path, pid, length);
    std::memcpy(path + length, "/stat", sizeof "/stat");
    int fd = openat(procFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;  // gone meanwhile
    char stat[512];
    ssize_t got = read(fd, stat, sizeof stat - 1);
    close(fd);
    if (got <= 0) return false;
    stat[got] = '\0';
    return RunsInGroup(stat, group);
}

long long NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

constexpr int kMaxDepth = 32;

bool RemoveContents(int dirFd, int depth);

bool RemoveEntry(int dirFd, const char* name, unsigned char type, int depth) {
    if (type != DT_DIR) {
        if (unlinkat(dirFd, name, 0) == 0 || errno == ENOENT) return true;
        if (errno != EISDIR) return false;  // a DT_UNKNOWN that is a directory goes on below
    }
    int sub = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub >= 0) {
        if (depth < kMaxDepth) RemoveContents(sub, depth + 1);
        close(sub);
    }
    return unlinkat(dirFd, name, AT_REMOVEDIR) == 0 || errno == ENOENT;
}

// Entries removed while a directory is read may make the reading skip others; the
// directory is read again from its start until a pass finds nothing it can remove.
bool RemoveContents(int dirFd, int depth) {
    for (int pass = 0; pass < 8; ++pass) {
        int seen = 0, removed = 0;
        lseek(dirFd, 0, SEEK_SET);
        ForEachEntry(dirFd, [&](const char* name, unsigned char type) {
            ++seen;
            if (RemoveEntry(dirFd, name, type, depth)) ++removed;
        });
        if (seen == 0) return true;
        if (removed == 0) return false;
    }
    return false;
}

}  // namespace

void KillGroup(pid_t group) {
    if (group <= 1) return;  // never "every process" nor init's group
    kill(-group, SIGKILL);
    kill(-group, SIGCONT);
}

bool GroupRuns(pid_t group) {
    if (group <= 1) return false;
    int procFd = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0) return kill(-group, 0) == 0;  // no /proc: zombies count, then
    bool runs = false;
    ForEachEntry(procFd, [&](const char* name, unsigned char) {
        if (!runs && IsNumber(name)) runs = ProcessRunsInGroup(procFd, name, group);
    });
    close(procFd);
    return runs;
}

bool WaitUntilGroupEnds(pid_t group, int timeoutMs) {
    long long deadline = NowMs() + timeoutMs;
    while (GroupRuns(group)) {
        if (NowMs() >= deadline) return false;
        timespec pause{0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return true;
}

bool RemoveTree(const char* path) {
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || (unlink(path) == 0);
    RemoveContents(fd, 0);
    close(fd);
    return rmdir(path) == 0 || errno == ENOENT;
}

}  // namespace engine
