#pragma once
// The spacing of page loads to the platform across all rooms: at least `pace` apart with a
// little jitter, and after a refusal or a verification page a back-off that doubles up to a
// cap until a load succeeds again. Risk control bans clients that load too often.
#include <chrono>
#include <cstdint>
#include <random>

namespace serve {

class Pacer {
  public:
    using Clock = std::chrono::steady_clock;
    explicit Pacer(std::chrono::milliseconds pace,
                   std::chrono::milliseconds backOffCap = std::chrono::minutes(15));

    // When the next load may start (now or later), and that it has.
    Clock::time_point NextLoad(Clock::time_point now);
    // The last load's page has come. The next one keeps its gap from here too: a request
    // may reach the platform well after it was let go, and the gap the platform sees is what
    // counts.
    void Answered(Clock::time_point now);
    // How the load went: a refusal or verification doubles the back-off, a success ends it.
    void Refused(Clock::time_point now);
    void Succeeded();
    // A back-off of an earlier run, `left` of it still to wait, taken up at `now`.
    void Resume(Clock::time_point now, std::chrono::milliseconds backOff,
                std::chrono::milliseconds left);

    std::chrono::milliseconds backOff() const { return backOff_; }
    uint64_t refusals() const { return refusals_; }

  private:
    std::chrono::milliseconds pace_, cap_, backOff_{0};
    std::chrono::milliseconds gap_{0};  // the last load's gap to the next
    Clock::time_point next_{};
    uint64_t refusals_ = 0;
    std::minstd_rand random_{std::random_device{}()};
};

}  // namespace serve
