// SPDX-License-Identifier: GPL-3.0-or-later
// Finds the hits in a recording and compares their spacing with a set
// interval.
//
// usage: onsets <recording.wav> [--reference sample.wav] [--interval ms] [--from seconds]
//               [--frames]
//
// With a reference, a hit is where the recording repeats the first
// millisecond of the reference sample, exact to the frame even when each one
// cuts the one before. A reference at another rate than the recording is
// first converted the way the program converts a sample for a device at
// that rate (SDL's audio stream). When that finds nothing (the sound server
// resampled on the way), a hit is where the recording correlates with the
// reference's first 2 ms. Without, a hit is a sharp step after at least 5 ms
// of small steps. --from ignores the hits in the first seconds of the
// recording. Prints the number of hits, the intervals between them, their
// error against the interval (median, 99th percentile, maximum, the worst
// ones and where they are), the drift of the last hit from where the first
// hit and the interval put it, the fitted drift per 60 s, and the dropouts:
// runs of digital silence of 1 ms or more between hits. --frames lists
// every hit's frame too, rounded to the nearest, and each dropout's first
// frame and length (at+length).

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tools/measure/onset_analysis.h"
#include "tools/measure/recording_file.h"

namespace {

using trovik::onsets::Hits;

using trovik::onsets::readLeftChannel;
using trovik::onsets::Sound;

// The reference as the program plays it on a device at another rate: mono
// in, stereo at the device rate out, through SDL's audio stream; the left
// channel.
std::optional<std::vector<float>> convertLikeTheProgram(const Sound& reference, int rate) {
    SDL_AudioStream* stream =
        SDL_NewAudioStream(AUDIO_F32SYS, 1, reference.rate, AUDIO_F32SYS, 2, rate);
    if (stream == nullptr) return std::nullopt;
    const auto bytes = static_cast<int>(reference.left.size() * sizeof(float));
    std::vector<float> stereo;
    if (SDL_AudioStreamPut(stream, reference.left.data(), bytes) == 0 &&
        SDL_AudioStreamFlush(stream) == 0) {
        stereo.resize(static_cast<std::size_t>(SDL_AudioStreamAvailable(stream)) / sizeof(float));
        const int got = SDL_AudioStreamGet(stream, stereo.data(),
                                           static_cast<int>(stereo.size() * sizeof(float)));
        stereo.resize(got > 0 ? static_cast<std::size_t>(got) / sizeof(float) : 0);
    }
    SDL_FreeAudioStream(stream);
    std::vector<float> left(stereo.size() / 2);
    for (std::size_t i = 0; i < left.size(); ++i) left[i] = stereo[2 * i];
    return left;
}

void report(const Hits& hits, int rate, std::optional<double> interval, int silences) {
    std::printf("hits: %zu\n", hits.size());
    if (!hits.empty()) std::printf("first hit s: %.3f\n", hits.front() / rate);
    if (hits.size() < 2) return;
    if (interval) {
        const auto t = trovik::onsets::judge(hits, rate, *interval);
        std::printf("intervals ms: min %.3f median %.3f max %.3f\n", t.minMs, t.medianMs, t.maxMs);
        std::printf("error ms: median %.3f p99 %.3f max %.3f\n", t.errorMedianMs, t.errorP99Ms,
                    t.errorMaxMs);
        std::printf("drift ms: %.3f over %.1f s\n", t.driftMs, t.spanSeconds);
        std::printf("fitted drift ms per 60 s: %.3f\n", t.driftPer60sMs);
        std::printf("worst:");
        for (const auto& w : t.worst) std::printf(" %+.3f ms at %.3f s;", w.errorMs, w.atSeconds);
        std::printf("\n");
    } else {
        std::vector<double> gaps;
        for (std::size_t i = 1; i < hits.size(); ++i)
            gaps.push_back((hits[i] - hits[i - 1]) * 1000.0 / rate);
        std::printf("intervals ms: min %.3f median %.3f max %.3f\n",
                    *std::min_element(gaps.begin(), gaps.end()),
                    trovik::onsets::percentile(gaps, 0.5),
                    *std::max_element(gaps.begin(), gaps.end()));
    }
    std::printf("dropouts: %d\n", silences);
}

}  // namespace

int main(int argc, char** argv) {
    const char* recordingPath = nullptr;
    const char* referencePath = nullptr;
    std::optional<double> interval;
    double fromSeconds = 0;
    bool listFrames = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--reference" && i + 1 < argc) {
            referencePath = argv[++i];
        } else if (arg == "--interval" && i + 1 < argc) {
            interval = std::atof(argv[++i]);
        } else if (arg == "--from" && i + 1 < argc) {
            fromSeconds = std::atof(argv[++i]);
        } else if (arg == "--frames") {
            listFrames = true;
        } else {
            recordingPath = argv[i];
        }
    }
    if (recordingPath == nullptr) {
        std::fprintf(stderr,
                     "usage: %s <recording.wav> [--reference sample.wav] [--interval ms] "
                     "[--from seconds] [--frames]\n",
                     argv[0]);
        return 2;
    }
    const auto recording = readLeftChannel(recordingPath);
    if (!recording) {
        std::fprintf(stderr, "cannot read %s\n", recordingPath);
        return 1;
    }
    Hits hits;
    const char* method = "sharp steps";
    if (referencePath != nullptr) {
        const auto reference = readLeftChannel(referencePath);
        if (!reference) {
            std::fprintf(stderr, "cannot read the reference %s\n", referencePath);
            return 1;
        }
        method = "exact match";
        if (reference->rate == recording->rate) {
            hits =
                trovik::onsets::matchReference(recording->left, reference->left, recording->rate);
        } else if (const auto converted = convertLikeTheProgram(*reference, recording->rate)) {
            method = "exact match, reference converted by SDL";
            hits = trovik::onsets::matchReference(recording->left, *converted, recording->rate);
        }
        if (hits.size() < 2) {
            method = "correlation";
            hits = trovik::onsets::correlateReference(recording->left, recording->rate,
                                                      reference->left, reference->rate);
        }
    } else {
        hits = trovik::onsets::sharpSteps(recording->left, recording->rate);
    }
    const double from = fromSeconds * recording->rate;
    hits.erase(hits.begin(), std::lower_bound(hits.begin(), hits.end(), from));
    std::printf("recording: %.2f s at %d Hz; hits by %s from %.1f s\n",
                recording->left.size() / static_cast<double>(recording->rate), recording->rate,
                method, fromSeconds);
    const auto dropouts = trovik::onsets::dropouts(recording->left, hits, recording->rate);
    report(hits, recording->rate, interval, static_cast<int>(dropouts.size()));
    if (listFrames) {
        std::printf("hit frames:");
        for (const double hit : hits) std::printf(" %.0f", hit);
        std::printf("\ndropout frames:");
        for (const auto& d : dropouts) std::printf(" %zu+%zu", d.at, d.length);
        std::printf("\n");
    }
    return 0;
}
