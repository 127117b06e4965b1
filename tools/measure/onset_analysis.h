// SPDX-License-Identifier: GPL-3.0-or-later
// Finding drum hits in a recording of the program's output and judging
// their spacing against the step interval. Used by the onsets tool.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace trovik::onsets {

// Hit positions are in frames of the recording, fractional where the
// method locates a hit between two frames.
using Hits = std::vector<double>;

// Where the recording repeats the first millisecond of the reference
// exactly (within 16-bit rounding): exact to the frame, even when each hit
// cuts the one before. Both must have the same rate, and no resampling may
// lie between the program and the recording.
Hits matchReference(const std::vector<float>& recording, const std::vector<float>& reference,
                    int rate);

// Where the recording's frame-to-frame steps look like those of the first
// 2 ms of the reference by normalised cross-correlation, for recordings
// resampled on the way by the sound server. The reference is put at the
// recording's rate band-limited, at eight fractions of a frame, since a
// resampler's ringing around an attack depends on the fraction the hit
// falls on; a hit is located to the best fraction. It finds a hit by the
// step out of the sound it cuts, so it misses hits whose cut leaves almost
// no step (with the shipped bass drum, hits every 50 ms).
Hits correlateReference(const std::vector<float>& recording, int recordingRate,
                        const std::vector<float>& reference, int referenceRate);

// A sharp step after at least 5 ms of small steps: drums that start sharply
// out of near silence.
Hits sharpSteps(const std::vector<float>& recording, int rate);

// A run of digital silence of 1 ms or more between the first and last hit:
// the sound server ran dry, or was away.
struct Dropout {
    std::size_t at = 0;      // its first frame
    std::size_t length = 0;  // in frames
    bool operator==(const Dropout&) const = default;
};
std::vector<Dropout> dropouts(const std::vector<float>& recording, const Hits& hits, int rate);

struct WorstInterval {
    double atSeconds = 0;  // where the later hit of the pair is
    double errorMs = 0;    // signed: positive is longer than the interval
};

struct Timing {
    double minMs = 0, medianMs = 0, maxMs = 0;                 // inter-onset intervals
    double errorMedianMs = 0, errorP99Ms = 0, errorMaxMs = 0;  // |interval - set interval|
    double driftMs = 0;                // last hit against first hit + whole intervals
    double spanSeconds = 0;            // first to last hit
    double driftPer60sMs = 0;          // least-squares slope of the hits, per 60 s
    std::vector<WorstInterval> worst;  // the largest errors, largest first
};

// Needs at least two hits; interval in milliseconds.
Timing judge(const Hits& hits, int rate, double intervalMs, int worstCount = 5);

// The value at the given fraction (0 to 1) of the sorted values, nearest rank.
double percentile(std::vector<double> values, double fraction);

}  // namespace trovik::onsets
