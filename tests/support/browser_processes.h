#pragma once
// What a test sees of the browsers the engine started, read from /proc as any observer would.
#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// This process's children that are not zombies (in the engine tests: its browsers).
std::vector<pid_t> LiveChildren();

// The processes of a group that still run (zombies excluded: they run nothing).
std::vector<pid_t> RunningInGroup(pid_t group);

// A process's command line, its words separated by blanks.
std::string CommandLine(pid_t pid);

// The profile directory the browser was started with (--user-data-dir), or "".
std::string ProfileOf(pid_t browser);

}  // namespace testsupport
