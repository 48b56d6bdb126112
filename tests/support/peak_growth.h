#pragma once
// How far this process's resident memory rose at its peak, for tests whose engine runs inside
// the process (node.so loaded as a host loads it): the host's memory, not Chromium's.
#include <fstream>
#include <string>

namespace testsupport {

inline long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
    return -1;
}

// The rise above the resident memory at its making, at its peak since then.
class PeakGrowth {
  public:
    PeakGrowth() {
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from now
        base_ = StatusKb("VmRSS:");
    }
    long Mb() const { return (StatusKb("VmHWM:") - base_) / 1024; }

  private:
    long base_ = 0;
};

}  // namespace testsupport
