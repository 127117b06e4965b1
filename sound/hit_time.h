#pragma once

#include <chrono>
#include <optional>

namespace trovik {

// When the hits being played right now were meant to sound. The step clock
// stamps each tick with the moment it was due, so that the player can place
// every hit of that tick at the same exact instant, however late the tick
// itself ran. Outside a tick there is no stamp and a hit sounds at once.
class HitTime {
public:
    using Clock = std::chrono::steady_clock;

    class Scope {
    public:
        Scope(HitTime& hitTime, Clock::time_point due) : hitTime_(hitTime) { hitTime_.due_ = due; }
        ~Scope() { hitTime_.due_.reset(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        HitTime& hitTime_;
    };

    std::optional<Clock::time_point> due() const { return due_; }

private:
    std::optional<Clock::time_point> due_;
};

}  // namespace trovik
