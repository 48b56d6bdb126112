#include "serve/pacer.h"

#include <algorithm>

namespace serve {

Pacer::Pacer(std::chrono::milliseconds pace, std::chrono::milliseconds backOffCap)
    : pace_(pace), cap_(backOffCap) {}

Pacer::Clock::time_point Pacer::NextLoad(Clock::time_point now) {
    Clock::time_point start = std::max(now, next_);
    // Up to half a pace more, so that loads never fall into a beat.
    long long jitter = pace_.count() / 2;
    std::chrono::milliseconds extra(jitter > 0 ? random_() % (jitter + 1) : 0);
    gap_ = pace_ + extra;
    next_ = start + gap_;
    return start;
}

void Pacer::Answered(Clock::time_point now) {
    next_ = std::max(next_, now + gap_);
}

void Pacer::Refused(Clock::time_point now) {
    ++refusals_;
    std::chrono::milliseconds first = std::max(pace_ * 4, std::chrono::milliseconds(30000));
    backOff_ = backOff_.count() ? std::min(backOff_ * 2, cap_) : std::min(first, cap_);
    next_ = std::max(next_, now + backOff_);
}

void Pacer::Resume(Clock::time_point now, std::chrono::milliseconds backOff,
                   std::chrono::milliseconds left) {
    backOff_ = std::min(backOff, cap_);
    next_ = std::max(next_, now + std::min(left, cap_));
}

void Pacer::Succeeded() {
    backOff_ = std::chrono::milliseconds(0);
}

}  // namespace serve
