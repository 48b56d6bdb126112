#pragma once
// Ending the browser's process group and removing its profile. Every function here makes
// only async-signal-safe system calls and allocates nothing: a host may call them from any
// thread, or from a signal handler, while the engine's own thread is busy.
#include <sys/types.h>

namespace engine {

// Kills every process of the group, stopped ones included: SIGKILL, then SIGCONT so that a
// stopped process is woken to take it at once.
void KillGroup(pid_t group);

// Whether some process of the group still runs. Zombies do not count: they run nothing, and
// the ones reparented to an init that never reaps would stay for good.
bool GroupRuns(pid_t group);

// Waits until no process of the group runs, at most `timeoutMs`; whether none does.
bool WaitUntilGroupEnds(pid_t group, int timeoutMs);

// Removes a directory and everything in it, symbolic links as links (never what they name).
// What cannot be removed stays; returns whether the directory is gone.
bool RemoveTree(const char* path);

}  // namespace engine
