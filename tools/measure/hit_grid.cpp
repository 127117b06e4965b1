// SPDX-License-Identifier: GPL-3.0-or-later
// Checks that a recording's hits sit on a grid of one fixed interval: every
// step from --from to the end of the recording has exactly one hit, each
// within the tolerance of its place on the grid. The grid's phase is the
// median phase of the hits, so a few hits that are late or early do not
// shift it.
//
// usage: hit_grid <recording.wav> --reference sample.wav --interval ms
//                 [--from seconds] [--tolerance ms]
// A hit is where the recording repeats the first millisecond of the
// reference exactly (see onset_analysis.h), so both must be at one rate.
// Exits 0 when the hits pass, 1 when they do not, 2 when it cannot tell.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/measure/onset_analysis.h"
#include "tools/measure/recording_file.h"

namespace {

using trovik::onsets::Hits;

using trovik::onsets::readLeftChannel;

struct Options {
    const char* recording = nullptr;
    const char* reference = nullptr;
    double intervalMs = 0;
    double fromSeconds = 0;
    double toleranceMs = 0.1;
};

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool valued = i + 1 < argc;
        if (arg == "--reference" && valued) {
            options.reference = argv[++i];
        } else if (arg == "--interval" && valued) {
            options.intervalMs = std::atof(argv[++i]);
        } else if (arg == "--from" && valued) {
            options.fromSeconds = std::atof(argv[++i]);
        } else if (arg == "--tolerance" && valued) {
            options.toleranceMs = std::atof(argv[++i]);
        } else if (arg.starts_with("--")) {
            return std::nullopt;
        } else {
            options.recording = argv[i];
        }
    }
    if (options.recording == nullptr || options.reference == nullptr || options.intervalMs <= 0)
        return std::nullopt;
    return options;
}

// The grid's first step at or after `from`, in frames, as the median phase
// of the hits against the interval.
double gridOrigin(const Hits& hits, double period, double from) {
    std::vector<double> phases;
    for (double hit : hits)
        phases.push_back(hit - period * std::round((hit - hits.front()) / period));
    std::nth_element(phases.begin(), phases.begin() + phases.size() / 2, phases.end());
    const double phase = phases[phases.size() / 2];
    return phase + period * std::ceil((from - phase) / period);
}

struct Verdict {
    std::map<long, int> steps;  // hits by step number from the grid's origin
    std::vector<double> offGridSeconds, missingSeconds, extraSeconds;
    double worstMs = 0, worstAtSeconds = 0;
};

Verdict judge(const Hits& hits, int rate, double period, double origin, long lastStep,
              double toleranceMs) {
    Verdict v;
    const double msPerFrame = 1000.0 / rate;
    for (long n = 0; n <= lastStep; ++n) v.steps[n] = 0;
    for (double hit : hits) {
        const long n = std::lround((hit - origin) / period);
        const double errorMs = (hit - origin - period * static_cast<double>(n)) * msPerFrame;
        const double seconds = hit / rate;
        if (std::fabs(errorMs) > toleranceMs) v.offGridSeconds.push_back(seconds);
        if (std::fabs(errorMs) > std::fabs(v.worstMs)) {
            v.worstMs = errorMs;
            v.worstAtSeconds = seconds;
        }
        // A hit more than half an interval before the first step counts
        // against no step, only as off the grid.
        const auto step = v.steps.find(n);
        if (step != v.steps.end() && ++step->second > 1) v.extraSeconds.push_back(seconds);
    }
    for (const auto& [n, count] : v.steps)
        if (count == 0) v.missingSeconds.push_back((origin + period * n) / rate);
    return v;
}

void printTimes(const char* what, const std::vector<double>& seconds) {
    std::printf("%s: %zu", what, seconds.size());
    const std::size_t shown = std::min<std::size_t>(seconds.size(), 12);
    if (shown > 0) std::printf(" (at s:");
    for (std::size_t i = 0; i < shown; ++i) std::printf(" %.3f", seconds[i]);
    if (shown > 0) std::printf("%s)", shown < seconds.size() ? " ..." : "");
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: %s <recording.wav> --reference sample.wav --interval ms "
                     "[--from seconds] [--tolerance ms]\n",
                     argv[0]);
        return 2;
    }
    const auto recording = readLeftChannel(options->recording);
    const auto reference = readLeftChannel(options->reference);
    if (!recording || !reference) {
        std::fprintf(stderr, "cannot read %s\n",
                     recording ? options->reference : options->recording);
        return 2;
    }
    if (recording->rate != reference->rate) {
        std::fprintf(
            stderr,
            "the recording is at %d Hz, the reference at %d Hz: record at the reference's rate\n",
            recording->rate, reference->rate);
        return 2;
    }
    const int rate = recording->rate;
    const double from = options->fromSeconds * rate;
    Hits hits = trovik::onsets::matchReference(recording->left, reference->left, rate);
    hits.erase(hits.begin(), std::lower_bound(hits.begin(), hits.end(), from));
    std::printf("recording: %.2f s at %d Hz; grid of %.3f ms from %.1f s, tolerance %.3f ms\n",
                recording->left.size() / static_cast<double>(rate), rate, options->intervalMs,
                options->fromSeconds, options->toleranceMs);
    if (hits.size() < 2) {
        std::printf("verdict: FAILED: %zu hits, too few to lay a grid on\n", hits.size());
        return 1;
    }
    const double period = options->intervalMs * rate / 1000.0;
    const double origin = gridOrigin(hits, period, from);
    // A hit needs its first millisecond in the recording to be found.
    const double lastFound = static_cast<double>(recording->left.size()) - rate / 1000.0;
    const long lastStep = std::lround(std::floor((lastFound - origin) / period));
    const Verdict v = judge(hits, rate, period, origin, lastStep, options->toleranceMs);

    std::printf("steps: %ld, hits: %zu\n", lastStep + 1, hits.size());
    printTimes("hits off the grid", v.offGridSeconds);
    printTimes("steps without a hit", v.missingSeconds);
    printTimes("extra hits", v.extraSeconds);
    const bool passed =
        v.offGridSeconds.empty() && v.missingSeconds.empty() && v.extraSeconds.empty();
    if (passed)
        std::printf("verdict: OK: all %ld steps hit, each within %.3f ms of its place\n",
                    lastStep + 1, options->toleranceMs);
    else
        std::printf(
            "verdict: FAILED: of %ld steps, %zu without a hit; %zu hits off the grid by "
            "more than %.3f ms, the worst %+.3f ms at %.3f s; %zu extra hits\n",
            lastStep + 1, v.missingSeconds.size(), v.offGridSeconds.size(), options->toleranceMs,
            v.worstMs, v.worstAtSeconds, v.extraSeconds.size());
    return passed ? 0 : 1;
}
