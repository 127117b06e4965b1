#include "tools/onset_analysis.h"

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

// The reference's first frames at another rate, by linear interpolation.
std::vector<double> resampledStart(const std::vector<float>& reference, int from, int to,
                                   std::size_t length) {
    std::vector<double> out(length, 0.0);
    for (std::size_t k = 0; k < length; ++k) {
        const double at = static_cast<double>(k) * from / to;
        const auto i = static_cast<std::size_t>(at);
        if (i + 1 >= reference.size()) break;
        const double f = at - static_cast<double>(i);
        out[k] = reference[i] * (1.0 - f) + reference[i + 1] * f;
    }
    return out;
}

}  // namespace

Hits correlateReference(const std::vector<float>& recording, int recordingRate,
                        const std::vector<float>& reference, int referenceRate) {
    constexpr double kLikeness = 0.9;
    const auto length = static_cast<std::size_t>(recordingRate / 500);  // 2 ms
    Hits hits;
    if (length < 3 || recording.size() < length + 2) return hits;
    // Compared as steps from frame to frame: the attack, a step out of
    // whatever played before, is what sets a hit apart from the smooth
    // body of the sound before and after it.
    const std::vector<double> start =
        resampledStart(reference, referenceRate, recordingRate, length);
    std::vector<double> pattern(length);
    for (std::size_t k = 0; k < length; ++k) pattern[k] = start[k] - (k > 0 ? start[k - 1] : 0.0);
    std::vector<double> steps(recording.size());
    for (std::size_t i = 0; i < recording.size(); ++i)
        steps[i] = double{recording[i]} - (i > 0 ? recording[i - 1] : 0.0f);
    double patternEnergy = 0;
    for (double v : pattern) patternEnergy += v * v;
    if (patternEnergy <= 0) return hits;

    const std::size_t positions = steps.size() - length + 1;
    std::vector<double> likeness(positions, 0.0);
    double energy = 0;
    for (std::size_t k = 0; k < length; ++k) energy += steps[k] * steps[k];
    // Below this a window is silence, whatever its shape.
    const double quiet = patternEnergy * 1e-3;
    for (std::size_t i = 0; i < positions; ++i) {
        if (i > 0) {
            const double out = steps[i - 1], in = steps[i + length - 1];
            energy = std::max(0.0, energy - out * out + in * in);
        }
        if (energy < quiet) continue;
        double dot = 0;
        for (std::size_t k = 0; k < length; ++k) dot += steps[i + k] * pattern[k];
        likeness[i] = dot / std::sqrt(energy * patternEnergy);
    }
    // A hit is the best match within one pattern length on either side.
    for (std::size_t i = 1; i + 1 < positions; ++i) {
        if (likeness[i] < kLikeness) continue;
        const std::size_t from = i >= length ? i - length : 0;
        const std::size_t to = std::min(positions, i + length + 1);
        bool best = true;
        for (std::size_t j = from; j < to && best; ++j) {
            best = likeness[j] < likeness[i] || (likeness[j] == likeness[i] && j >= i);
        }
        if (!best) continue;
        const double a = likeness[i - 1], b = likeness[i], c = likeness[i + 1];
        const double curve = a - 2 * b + c;
        const double offset = curve < 0 ? std::clamp(0.5 * (a - c) / curve, -0.5, 0.5) : 0.0;
        hits.push_back(static_cast<double>(i) + offset);
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

int dropouts(const std::vector<float>& recording, const Hits& hits, int rate) {
    if (hits.size() < 2) return 0;
    int count = 0;
    long run = 0;
    const auto last = std::min(recording.size(), static_cast<std::size_t>(hits.back()));
    for (auto i = static_cast<std::size_t>(hits.front()); i < last; ++i) {
        if (recording[i] == 0.0f) {
            if (++run == rate / 1000) ++count;
        } else {
            run = 0;
        }
    }
    return count;
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
