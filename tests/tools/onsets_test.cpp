// SPDX-License-Identifier: GPL-3.0-or-later
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tools/measure/onset_analysis.h"
#include "tools/measure/period_placement.h"
#include "tools/measure/recording_file.h"

namespace {

using trovik::onsets::Hits;

// A bass drum like the shipped one: a falling sine sweep with a sharp attack,
// as a function of the time since the hit.
double drum(double t) {
    if (t < 0) return 0;
    const double f0 = 45.0, f1 = 110.0, fall = 28.0;
    const double phase = 2 * M_PI * (f0 * t + f1 * (1 - std::exp(-t * fall)) / fall);
    return 0.9 * (std::sin(phase) * std::exp(-t * 7.5) + 0.35 * std::exp(-t * 900.0));
}

// A recording where each hit (at a fraction of a frame) cuts the one
// before, as the program's mixer does; `soundAt` gives the sound a number
// of frames after its hit.
template <typename Sound>
std::vector<float> cutHits(std::size_t frames, const std::vector<double>& starts, Sound soundAt) {
    std::vector<float> out(frames, 0.0f);
    for (std::size_t h = 0; h < starts.size(); ++h) {
        const auto begin = static_cast<std::size_t>(std::ceil(starts[h]));
        const auto end =
            h + 1 < starts.size() ? static_cast<std::size_t>(std::ceil(starts[h + 1])) : frames;
        for (std::size_t i = begin; i < end && i < frames; ++i)
            out[i] = static_cast<float>(soundAt(double(i) - starts[h]));
    }
    return out;
}

std::vector<float> render(int rate, std::size_t frames, const std::vector<double>& starts) {
    return cutHits(frames, starts, [rate](double frames) { return drum(frames / rate); });
}

TEST(OnsetsTest, ExactMatchFindsEveryCutHitOnItsFrameAndCountsTheDropout) {
    const int rate = 44100;
    const std::vector<double> starts = {1000, 1882, 2764, 3646, 9000, 9882};
    auto recording = render(rate, 12000, starts);
    // The server ran dry for 2 ms inside the fourth hit.
    for (std::size_t i = 5000; i < 5088; ++i) recording[i] = 0.0f;
    const Hits hits =
        trovik::onsets::matchReference(recording, render(rate, rate * 45 / 100, {0}), rate);
    EXPECT_EQ(hits, Hits(starts.begin(), starts.end()));
    EXPECT_EQ(trovik::onsets::dropouts(recording, hits, rate),
              (std::vector<trovik::onsets::Dropout>{{5000, 88}}));
}

// What a sound server does to a recording made at another rate: a
// band-limited resampler, SDL's here.
std::vector<float> resampled(const std::vector<float>& in, int from, int to) {
    SDL_AudioStream* stream = SDL_NewAudioStream(AUDIO_F32SYS, 1, from, AUDIO_F32SYS, 1, to);
    if (stream == nullptr) return {};
    std::vector<float> out;
    if (SDL_AudioStreamPut(stream, in.data(), static_cast<int>(in.size() * sizeof(float))) == 0 &&
        SDL_AudioStreamFlush(stream) == 0) {
        out.resize(static_cast<std::size_t>(SDL_AudioStreamAvailable(stream)) / sizeof(float));
        const int got =
            SDL_AudioStreamGet(stream, out.data(), static_cast<int>(out.size() * sizeof(float)));
        out.resize(got > 0 ? static_cast<std::size_t>(got) / sizeof(float) : 0);
    }
    SDL_FreeAudioStream(stream);
    return out;
}

std::vector<float> shippedBass(int rate) {
    const auto bass = trovik::onsets::readLeftChannel(TROVIK_SAMPLE_DIR "/bass.wav");
    if (!bass) return {};
    return bass->rate == rate ? bass->left : resampled(bass->left, bass->rate, rate);
}

TEST(OnsetsTest, CorrelationFindsHitsAtEveryPhaseOfABandLimitedResampler) {
    for (const auto& [from, to] : {std::pair{48000, 44100}, std::pair{44100, 48000}}) {
        const auto bass = shippedBass(from);
        ASSERT_FALSE(bass.empty());
        // Hits 150 ms apart plus one frame, so that the hits fall on
        // every fraction of a frame of the other rate (twice round);
        // each cuts the one before.
        const int interval = from * 150 / 1000 + 1;
        std::vector<double> starts;
        for (int n = 0; n < 24; ++n) starts.push_back(1000.0 + interval * n);
        const auto played =
            cutHits(static_cast<std::size_t>(starts.back()) + 4000, starts, [&](double after) {
                const auto i = static_cast<std::size_t>(after);
                return i < bass.size() ? bass[i] : 0.0f;
            });
        const auto recording = resampled(played, from, to);
        const Hits hits = trovik::onsets::correlateReference(recording, to, bass, from);
        ASSERT_EQ(hits.size(), starts.size()) << from << " to " << to;
        // Within half a frame, 0.011 ms: well inside the 0.05 ms the
        // timing is judged by.
        for (std::size_t i = 0; i < hits.size(); ++i) {
            EXPECT_NEAR(hits[i], starts[i] * to / from, 0.5)
                << "hit " << i << ", " << from << " to " << to;
        }
    }
}

TEST(OnsetsTest, SharpStepsFindsHitsOutOfSilenceOnly) {
    const int rate = 44100;
    // The second hit follows 3 ms after the first: no silence before it.
    const auto recording = render(rate, 30000, {1000, 1132, 20000});
    EXPECT_EQ(trovik::onsets::sharpSteps(recording, rate), (Hits{1000, 20000}));
}

TEST(OnsetsTest, JudgeMeasuresErrorsAndFitsTheDriftAcrossAMissingHit) {
    const int rate = 48000;
    const double setMs = 150.0, realMs = 150.01;  // 4 ms slow per 60 s
    Hits hits;
    for (int n = 0; n < 400; ++n) {
        if (n == 200) continue;  // one hit lost
        hits.push_back(1000.0 + n * realMs * rate / 1000.0);
    }
    hits[100] += 96;  // one hit 2 ms late: two intervals off by 2 ms
    const auto t = trovik::onsets::judge(hits, rate, setMs, 3);
    EXPECT_NEAR(t.driftPer60sMs, 4.0, 0.05);
    EXPECT_NEAR(t.errorMedianMs, 0.01, 1e-6);
    EXPECT_NEAR(t.errorMaxMs, 150.02, 1e-6);  // the missing hit
    EXPECT_NEAR(t.medianMs, 150.01, 1e-6);
    ASSERT_EQ(t.worst.size(), 3u);
    EXPECT_NEAR(t.worst[0].errorMs, 150.02, 1e-6);
    EXPECT_NEAR(t.worst[1].errorMs, 2.01, 1e-6);
    EXPECT_NEAR(t.worst[1].atSeconds, hits[100] / rate, 1e-9);
    EXPECT_NEAR(t.worst[2].errorMs, -1.99, 1e-6);
}

TEST(PeriodPlacerTest, PlacesEachPeriodAtItsFrameAcrossSkipsLateFramesTheWrapAndTheEnd) {
    using trovik::placement::Gap;
    using Placements = std::vector<trovik::placement::Placement>;
    trovik::placement::PeriodPlacer placer(3000, 3);
    const std::uint32_t start = 0xFFFFFF00u;  // the counter wraps at the second period
    const Placements whole{{0, 0, 256}};
    EXPECT_EQ(placer.place(start, 256), whole);
    EXPECT_EQ(placer.place(start + 256, 256), whole);
    // Two periods skipped: the periods after the gap are held, three at most.
    EXPECT_EQ(placer.place(start + 1024, 256), Placements{});
    EXPECT_EQ(placer.place(start + 1280, 256), Placements{});
    EXPECT_EQ(placer.place(start + 1536, 256),
              (Placements{{512, 0, 256}, {0, 0, 256}, {0, 0, 256}}));
    // One period skipped, and two periods later two come with the same
    // frame: the ones since the gap came a period late and go back.
    EXPECT_EQ(placer.place(start + 2304, 256), Placements{});
    EXPECT_EQ(placer.place(start + 2560, 256), Placements{});
    EXPECT_EQ(placer.place(start + 2560, 256),
              (Placements{{256, 0, 256}, {0, 0, 256}, {0, 0, 256}}));
    // The counter went back with no gap before: those frames are written.
    EXPECT_EQ(placer.place(start + 2716, 256), (Placements{{0, 100, 156}}));
    // The file ends at 3000 frames, inside the period held at the end.
    EXPECT_EQ(placer.place(start + 2990, 256), Placements{});
    EXPECT_EQ(placer.release(), (Placements{{18, 0, 10}}));
    EXPECT_TRUE(placer.full());
    EXPECT_EQ(placer.gaps(), (std::vector<Gap>{{512, 512}, {1792, 256}, {2972, 18}}));
    EXPECT_EQ(placer.putBack(), (std::vector<Gap>{{2048, 256}}));
    EXPECT_EQ(placer.framesBehind(), 100u);
}

}  // namespace
