// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/measure/onset_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace trovik::onsets {

Hits matchReference(const std::vector<float>& recording, const std::vector<float>& reference,
                    int rate) {
    const std::size_t length = std::min<std::size_t>(reference.size(), rate / 1000);
    constexpr float kTolerance = 4.0f / 32768.0f;  // a few steps of 16-bit rounding
    Hits hits;
    if (length == 0) return hits;
    for (std::size_t i = 0; i + length <= recording.size(); ++i) {
        std::size_t k = 0;
        while (k < length && std::fabs(recording[i + k] - reference[k]) <= kTolerance) ++k;
        if (k == length) {
            hits.push_back(static_cast<double>(i));
            i += length;
        }
    }
    return hits;
}

namespace {

// The reference's first frames as a band-limited resampler would put them
// at another rate, with the hit `phase` frames (0 to 1) after the first
// frame and silence before the hit: a windowed sinc cut at the lower
// rate's Nyquist frequency, so that the ringing a sound server's resampler
// adds around a sharp attack is part of what is looked for.
std::vector<double> bandLimitedStart(const std::vector<float>& reference, int from, int to,
                                     std::size_t length, double phase) {
    constexpr long kHalfTaps = 32;
    const double cut = std::min(1.0, static_cast<double>(to) / from);
    std::vector<double> out(length, 0.0);
    for (std::size_t k = 0; k < length; ++k) {
        const double at = (static_cast<double>(k) - phase) * from / to;  // in reference frames
        const auto centre = static_cast<long>(std::floor(at));
        const long last = std::min(centre + kHalfTaps, static_cast<long>(reference.size()) - 1);
        double sum = 0;
        for (long n = std::max(0L, centre - kHalfTaps); n <= last; ++n) {
            const double x = at - static_cast<double>(n);
            const double arg = M_PI * cut * x;
            const double sinc = arg == 0 ? 1.0 : std::sin(arg) / arg;
            const double window = 0.5 + 0.5 * std::cos(M_PI * x / (kHalfTaps + 1));
            sum += reference[static_cast<std::size_t>(n)] * cut * sinc * window;
        }
        out[k] = sum;
    }
    return out;
}

// A pattern of frame-to-frame steps and its energy.
struct StepPattern {
    std::vector<double> steps;
    double energy = 0;
    double phase = 0;
};

StepPattern stepsOf(const std::vector<double>& start, double phase) {
    StepPattern p;
    p.phase = phase;
    p.steps.resize(start.size());
    for (std::size_t k = 0; k < start.size(); ++k) {
        p.steps[k] = start[k] - (k > 0 ? start[k - 1] : 0.0);
        p.energy += p.steps[k] * p.steps[k];
    }
    return p;
}

double likenessAt(const std::vector<double>& steps, std::size_t at, double energy,
                  const StepPattern& pattern) {
    double dot = 0;
    for (std::size_t k = 0; k < pattern.steps.size(); ++k) dot += steps[at + k] * pattern.steps[k];
    return dot / std::sqrt(energy * pattern.energy);
}

}  // namespace

Hits correlateReference(const std::vector<float>& recording, int recordingRate,
                        const std::vector<float>& reference, int referenceRate) {
    constexpr double kLikeness = 0.9;
    // A window that matches the first phase this poorly is far from any
    // hit; skipping the other phases there saves most of the work.
    constexpr double kWorthOtherPhases = 0.5;
    constexpr int kPhases = 8;
    const auto length = static_cast<std::size_t>(recordingRate / 500);  // 2 ms
    Hits hits;
    if (length < 3 || recording.size() < length + 2) return hits;
    // Compared as steps from frame to frame: the attack, a step out of
    // whatever played before, is what sets a hit apart from the smooth
    // body of the sound before and after it. A resampler spreads that step
    // over the frames around it, differently for each fraction of a frame
    // the hit falls on: one pattern per fraction.
    std::vector<StepPattern> patterns;
    for (int p = 0; p < kPhases; ++p) {
        const double phase = static_cast<double>(p) / kPhases;
        patterns.push_back(stepsOf(
            bandLimitedStart(reference, referenceRate, recordingRate, length, phase), phase));
    }
    if (patterns.front().energy <= 0) return hits;
    std::vector<double> steps(recording.size());
    for (std::size_t i = 0; i < recording.size(); ++i)
        steps[i] = double{recording[i]} - (i > 0 ? recording[i - 1] : 0.0f);

    const std::size_t positions = steps.size() - length + 1;
    std::vector<double> likeness(positions, 0.0);
    std::vector<double> phaseAt(positions, 0.0);
    double energy = 0;
    for (std::size_t k = 0; k < length; ++k) energy += steps[k] * steps[k];
    // Below this a window is silence, whatever its shape.
    const double quiet = patterns.front().energy * 1e-3;
    for (std::size_t i = 0; i < positions; ++i) {
        if (i > 0) {
            const double out = steps[i - 1], in = steps[i + length - 1];
            energy = std::max(0.0, energy - out * out + in * in);
        }
        if (energy < quiet) continue;
        likeness[i] = likenessAt(steps, i, energy, patterns.front());
        if (likeness[i] < kWorthOtherPhases) continue;
        for (std::size_t p = 1; p < patterns.size(); ++p) {
            const double l = likenessAt(steps, i, energy, patterns[p]);
            if (l > likeness[i]) {
                likeness[i] = l;
                phaseAt[i] = patterns[p].phase;
            }
        }
    }
    // A hit is the best match within one pattern length on either side.
    for (std::size_t i = 0; i < positions; ++i) {
        if (likeness[i] < kLikeness) continue;
        const std::size_t from = i >= length ? i - length : 0;
        const std::size_t to = std::min(positions, i + length + 1);
        bool best = true;
        for (std::size_t j = from; j < to && best; ++j) {
            best = likeness[j] < likeness[i] || (likeness[j] == likeness[i] && j >= i);
        }
        if (!best) continue;
        hits.push_back(static_cast<double>(i) + phaseAt[i]);
        i += length;
    }
    return hits;
}

Hits sharpSteps(const std::vector<float>& recording, int rate) {
    constexpr float kStep = 400.0f / 32768.0f;
    const long quietNeeded = rate * 5 / 1000;
    Hits hits;
    long quiet = quietNeeded;
    for (std::size_t i = 1; i < recording.size(); ++i) {
        const float step = std::fabs(recording[i] - recording[i - 1]);
        if (step >= kStep) {
            if (quiet >= quietNeeded) hits.push_back(static_cast<double>(i));
            quiet = 0;
        } else if (step < kStep / 2) {
            ++quiet;
        }
    }
    return hits;
}

std::vector<Dropout> dropouts(const std::vector<float>& recording, const Hits& hits, int rate) {
    std::vector<Dropout> found;
    if (hits.size() < 2) return found;
    const auto shortest = static_cast<std::size_t>(rate / 1000);
    std::size_t run = 0;
    const auto last = std::min(recording.size(), static_cast<std::size_t>(hits.back()));
    for (auto i = static_cast<std::size_t>(hits.front()); i <= last; ++i) {
        if (i < last && recording[i] == 0.0f) {
            ++run;
            continue;
        }
        if (run >= shortest) found.push_back({i - run, run});
        run = 0;
    }
    return found;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index =
        static_cast<std::size_t>(std::lround(fraction * static_cast<double>(values.size() - 1)));
    return values[index];
}

Timing judge(const Hits& hits, int rate, double intervalMs, int worstCount) {
    Timing t;
    const double msPerFrame = 1000.0 / rate;
    std::vector<double> gaps, errors;
    std::vector<WorstInterval> all;
    for (std::size_t i = 1; i < hits.size(); ++i) {
        const double gap = (hits[i] - hits[i - 1]) * msPerFrame;
        gaps.push_back(gap);
        errors.push_back(std::fabs(gap - intervalMs));
        all.push_back({hits[i] / rate, gap - intervalMs});
    }
    t.minMs = *std::min_element(gaps.begin(), gaps.end());
    t.maxMs = *std::max_element(gaps.begin(), gaps.end());
    t.medianMs = percentile(gaps, 0.5);
    t.errorMedianMs = percentile(errors, 0.5);
    t.errorP99Ms = percentile(errors, 0.99);
    t.errorMaxMs = *std::max_element(errors.begin(), errors.end());
    t.spanSeconds = (hits.back() - hits.front()) / rate;
    t.driftMs =
        (hits.back() - hits.front()) * msPerFrame - intervalMs * static_cast<double>(gaps.size());

    // Least squares of hit time against step number: a hit that went
    // missing leaves a gap in the numbers, not a slope.
    double sn = 0, st = 0, snn = 0, snt = 0;
    const double count = static_cast<double>(hits.size());
    for (double hit : hits) {
        const double ms = (hit - hits.front()) * msPerFrame;
        const double n = std::round(ms / intervalMs);
        sn += n;
        st += ms;
        snn += n * n;
        snt += n * ms;
    }
    const double spread = count * snn - sn * sn;
    if (spread > 0) {
        const double period = (count * snt - sn * st) / spread;
        t.driftPer60sMs = (period - intervalMs) * 60000.0 / intervalMs;
    }

    std::stable_sort(all.begin(), all.end(), [](const WorstInterval& a, const WorstInterval& b) {
        return std::fabs(a.errorMs) > std::fabs(b.errorMs);
    });
    all.resize(std::min<std::size_t>(all.size(), static_cast<std::size_t>(worstCount)));
    t.worst = all;
    return t;
}

}  // namespace trovik::onsets
