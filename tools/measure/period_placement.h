// SPDX-License-Identifier: GPL-3.0-or-later
// Where each period a JACK client records goes in its file: at its frame on
// the server's own frame counter, counted from the first period's, so that
// periods the server skipped (an xrun) leave silence of their length instead
// of pulling every later frame earlier.
//
// When a client before us in the graph (or we) ran late, two periods come
// in one cycle with the same frame, and the one before them with a frame a
// period later than its place: the periods after a gap are held, a few at
// most, until it shows whether part of the gap was such a late frame; where
// a later period lies back inside the held ones, they go back by as much, up
// to the gap.
#pragma once

#include <cstddef>
#include <cstdint>
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

class PeriodPlacer {
  public:
    // The file ends after `limit` frames; at most `window` periods are held.
    explicit PeriodPlacer(std::uint64_t limit, std::size_t window = 8)
        : limit_(limit), window_(window) {}

    // The period of `frames` frames that starts at `frame` of the server's
    // counter (jack_last_frame_time, which wraps at 2^32). Returns where the
    // oldest periods not yet placed go, in their order (none while they are
    // held). Frames whose place in the file was written already are skipped
    // and counted, never written twice.
    std::vector<Placement> place(std::uint32_t frame, std::uint32_t frames);
    // At the end: where the periods still held go.
    std::vector<Placement> release();

    bool full() const { return end_ >= limit_; }
    std::uint64_t written() const { return end_; }
    const std::vector<Gap>& gaps() const { return gaps_; }
    std::uint64_t framesBehind() const { return framesBehind_; }
    // Periods that came with a later frame than theirs: where each was put
    // in the file and how many frames earlier than its frame said.
    const std::vector<Gap>& putBack() const { return putBack_; }

  private:
    struct Held {
        std::int64_t position = 0;
        std::uint32_t frames = 0;
    };
    Placement commit(std::int64_t position, std::uint32_t frames);
    void releaseInto(std::vector<Placement>& placements);

    std::uint64_t limit_;
    std::size_t window_;
    bool started_ = false;
    std::uint32_t lastFrame_ = 0;
    std::int64_t lastPosition_ = 0;  // where the last period's frame puts it
    std::uint64_t end_ = 0;          // frames in the file so far
    std::vector<Held> held_;
    std::uint64_t framesBehind_ = 0;
    std::vector<Gap> gaps_;
    std::vector<Gap> putBack_;
};

}  // namespace trovik::placement
