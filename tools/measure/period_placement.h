// SPDX-License-Identifier: GPL-3.0-or-later
// Where each period a JACK client records goes in its file: at its frame on
// the server's own frame counter, counted from the first period's, so that
// periods the server skipped (an xrun) leave silence of their length instead
// of pulling every later frame earlier.
//
// A client that runs late, after the server began the next cycle, reads
// that cycle's frame for the period it is given: the period seems to follow
// a skipped one, and the next period then comes with the same frame. So a
// period after a gap is held until the next one shows whether the gap was
// real; where the next one lies back inside the held one, the held one goes
// back by as much, up to the gap.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace trovik::placement {

struct Gap {
    std::uint64_t at = 0;      // frame of the file where the silence starts
    std::uint64_t length = 0;  // frames of silence
    bool operator==(const Gap&) const = default;
};

// What to write for one period: `silence` frames first, then the period's
// frames from `skip` on, `take` of them.
struct Placement {
    std::uint64_t silence = 0;
    std::uint32_t skip = 0;
    std::uint32_t take = 0;
    bool operator==(const Placement&) const = default;
};

// What to write when a period comes: first the period held before, if it
// is released; then the new one, unless it is held itself.
struct Decision {
    std::optional<Placement> held;
    std::optional<Placement> current;
    bool operator==(const Decision&) const = default;
};

class PeriodPlacer {
  public:
    // The file ends after `limit` frames.
    explicit PeriodPlacer(std::uint64_t limit) : limit_(limit) {}

    // The period of `frames` frames that starts at `frame` of the server's
    // counter (jack_last_frame_time, which wraps at 2^32). Frames whose
    // place in the file was written already are skipped and counted, never
    // written twice.
    Decision place(std::uint32_t frame, std::uint32_t frames);
    // At the end: where the period still held goes, if one is.
    std::optional<Placement> release();

    bool full() const { return end_ >= limit_; }
    std::uint64_t written() const { return end_; }
    const std::vector<Gap>& gaps() const { return gaps_; }
    std::uint64_t framesBehind() const { return framesBehind_; }
    // Periods that came with a later frame than theirs: where each was put
    // in the file and how many frames earlier than its frame said.
    const std::vector<Gap>& putBack() const { return putBack_; }

  private:
    Placement commit(std::uint64_t silence, std::int64_t position, std::uint32_t frames);

    std::uint64_t limit_;
    bool started_ = false;
    std::uint32_t lastFrame_ = 0;
    std::int64_t lastPosition_ = 0;  // where the last period's frame puts it
    std::uint64_t end_ = 0;          // frames in the file so far
    std::optional<std::int64_t> heldPosition_;
    std::uint32_t heldFrames_ = 0;
    std::uint64_t framesBehind_ = 0;
    std::vector<Gap> gaps_;
    std::vector<Gap> putBack_;
};

}  // namespace trovik::placement
