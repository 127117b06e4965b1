// Finds the hits in a recording and compares their spacing with a set
// interval.
//
// usage: onsets <recording.wav> [--reference sample.wav] [--interval ms]
//
// With a reference, a hit is where the recording repeats the first
// millisecond of the reference sample, which finds hits to the exact frame
// even when each one cuts the one before. Without, a hit is a sharp step
// after at least 5 ms of small steps, good for drums that start sharply out
// of near silence. Prints the number of hits, the intervals between them,
// their error against the interval (median, 99th percentile, maximum), the
// drift of the last hit from where the first hit and the interval put it,
// and the dropouts: runs of digital silence of 1 ms or more between hits.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Sound {
    int rate = 0;
    std::vector<float> left;
};

std::optional<Sound> readLeftChannel(const char* path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) return std::nullopt;
    std::vector<float> all(static_cast<std::size_t>(info.frames) * info.channels);
    const sf_count_t frames = sf_readf_float(file, all.data(), info.frames);
    sf_close(file);
    Sound sound{info.samplerate, std::vector<float>(frames)};
    for (sf_count_t i = 0; i < frames; ++i) sound.left[i] = all[i * info.channels];
    return sound;
}

std::vector<long> matchReference(const std::vector<float>& recording, const std::vector<float>& reference, int rate) {
    const std::size_t length = std::min<std::size_t>(reference.size(), rate / 1000);
    constexpr float kTolerance = 4.0f / 32768.0f;  // a few steps of 16-bit rounding
    std::vector<long> hits;
    for (std::size_t i = 0; i + length <= recording.size(); ++i) {
        std::size_t k = 0;
        while (k < length && std::fabs(recording[i + k] - reference[k]) <= kTolerance) ++k;
        if (k == length) {
            hits.push_back(static_cast<long>(i));
            i += length;
        }
    }
    return hits;
}

std::vector<long> sharpSteps(const std::vector<float>& recording, int rate) {
    constexpr float kStep = 400.0f / 32768.0f;
    const long quietNeeded = rate * 5 / 1000;
    std::vector<long> hits;
    long quiet = quietNeeded;
    for (std::size_t i = 1; i < recording.size(); ++i) {
        const float step = std::fabs(recording[i] - recording[i - 1]);
        if (step >= kStep) {
            if (quiet >= quietNeeded) hits.push_back(static_cast<long>(i));
            quiet = 0;
        } else if (step < kStep / 2) {
            ++quiet;
        }
    }
    return hits;
}

int dropouts(const std::vector<float>& recording, const std::vector<long>& hits, int rate) {
    if (hits.size() < 2) return 0;
    int count = 0;
    long run = 0;
    for (long i = hits.front(); i < hits.back(); ++i) {
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
    const auto index = static_cast<std::size_t>(std::lround(fraction * static_cast<double>(values.size() - 1)));
    return values[index];
}

void report(const std::vector<long>& hits, int rate, std::optional<double> interval, int silences) {
    std::printf("hits: %zu\n", hits.size());
    if (hits.size() < 2) return;
    std::vector<double> gaps;
    for (std::size_t i = 1; i < hits.size(); ++i) gaps.push_back((hits[i] - hits[i - 1]) * 1000.0 / rate);
    std::printf("intervals ms: min %.3f median %.3f max %.3f\n", *std::min_element(gaps.begin(), gaps.end()),
                percentile(gaps, 0.5), *std::max_element(gaps.begin(), gaps.end()));
    if (interval) {
        std::vector<double> errors;
        errors.reserve(gaps.size());
        for (double gap : gaps) errors.push_back(std::fabs(gap - *interval));
        const double drift = (hits.back() - hits.front()) * 1000.0 / rate - *interval * static_cast<double>(gaps.size());
        std::printf("error ms: median %.3f p99 %.3f max %.3f\n", percentile(errors, 0.5), percentile(errors, 0.99),
                    *std::max_element(errors.begin(), errors.end()));
        std::printf("drift ms: %.3f over %.1f s\n", drift, (hits.back() - hits.front()) / static_cast<double>(rate));
    }
    std::printf("dropouts: %d\n", silences);
}

}  // namespace

int main(int argc, char** argv) {
    const char* recordingPath = nullptr;
    const char* referencePath = nullptr;
    std::optional<double> interval;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--reference" && i + 1 < argc) {
            referencePath = argv[++i];
        } else if (arg == "--interval" && i + 1 < argc) {
            interval = std::atof(argv[++i]);
        } else {
            recordingPath = argv[i];
        }
    }
    if (recordingPath == nullptr) {
        std::fprintf(stderr, "usage: %s <recording.wav> [--reference sample.wav] [--interval ms]\n", argv[0]);
        return 2;
    }
    const auto recording = readLeftChannel(recordingPath);
    if (!recording) {
        std::fprintf(stderr, "cannot read %s\n", recordingPath);
        return 1;
    }
    std::vector<long> hits;
    if (referencePath != nullptr) {
        const auto reference = readLeftChannel(referencePath);
        if (!reference || reference->rate != recording->rate) {
            std::fprintf(stderr, "cannot use %s as the reference (missing, or another rate)\n", referencePath);
            return 1;
        }
        hits = matchReference(recording->left, reference->left, recording->rate);
    } else {
        hits = sharpSteps(recording->left, recording->rate);
    }
    std::printf("recording: %.2f s at %d Hz\n", recording->left.size() / static_cast<double>(recording->rate),
                recording->rate);
    report(hits, recording->rate, interval, dropouts(recording->left, hits, recording->rate));
    return 0;
}
