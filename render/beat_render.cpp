// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/beat_render.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "render/looped_beat.h"
#include "render/progress_line.h"
#include "render/render_inputs.h"
#include "render/wav_output.h"
#include "sound/drum_kit.h"
#include "sound/wav_decoder.h"

namespace trovik {
namespace {

using render::BeatToRender;
using render::LoopedBeat;
using render::RenderError;

constexpr long long kLowestRate = 8000;
constexpr long long kHighestRate = 192000;
// The WAV format counts its bytes in 32 bits; the header chunks take the rest.
constexpr long double kMostDataBytes = 4294967295.0L - 4096;
// The steady loop starts on the first step of the second pass.
constexpr std::uint64_t kFirstSteadyTick = kSteps + 1;

struct Samples {
    std::unique_ptr<Sample> bass, snare, effect;

    std::array<const Sample*, kTrackCount> byTrack() const {
        return {bass.get(), snare.get(), effect ? effect.get() : &TrackSlots::silence()};
    }
    std::int64_t longestFrames() const {
        std::int64_t longest = 0;
        for (const Sample* sample : byTrack())
            longest = std::max<std::int64_t>(longest, sample->frameCount());
        return longest;
    }
};

void checkRequest(const RenderRequest& request) {
    if (request.sampleRate < kLowestRate || request.sampleRate > kHighestRate)
        throw RenderError{request.outputFile,
                          "the sample rate must be from 8000 to 192000 Hz, not " +
                              std::to_string(request.sampleRate)};
    if (request.loops < 1)
        throw RenderError{request.outputFile,
                          "the loop count must be 1 or more, not " + std::to_string(request.loops)};
}

Samples decodeSamples(const RenderRequest& request) {
    const DrumKit kit(request.dataFolder);
    const int rate = static_cast<int>(request.sampleRate);
    Samples samples;
    samples.bass = render::decodeSampleToRender(kit.resolve(kBassSampleName), rate);
    samples.snare = render::decodeSampleToRender(kit.resolve(kSnareSampleName), rate);
    if (!request.effectFile.empty())
        samples.effect = render::decodeSampleToRender(request.effectFile, rate);
    return samples;
}

// At most this many frames go to the file: the steady loops, plus the
// longest sample ringing out after them.
long double mostFrames(const RenderRequest& request, const BeatToRender& beat,
                       const Samples& samples) {
    const long double steps = static_cast<long double>(kSteps) * request.loops;
    const long double loops = steps * beat.interval * request.sampleRate / 1000 + 1;
    return loops + (request.tail ? samples.longestFrames() : 0);
}

void checkSize(const RenderRequest& request, const BeatToRender& beat, const Samples& samples) {
    const int bytesPerFrame = Sample::kChannels * (request.floatSamples ? 4 : 2);
    if (mostFrames(request, beat, samples) * bytesPerFrame > kMostDataBytes)
        throw RenderError{request.outputFile,
                          std::to_string(request.loops) + " loops make a WAV file over 4 GiB"};
}

void renderChecked(const RenderRequest& request, std::ostream* progressOut) {
    checkRequest(request);
    const BeatToRender beat = render::readBeatToRender(request.beatFile);
    const Samples samples = decodeSamples(request);
    checkSize(request, beat, samples);

    const int rate = static_cast<int>(request.sampleRate);
    LoopedBeat looped(beat, request.muted, samples.byTrack(), rate);
    render::WavOutput output(request.outputFile, rate, request.floatSamples);
    looped.playUntilTick(kFirstSteadyTick, [](const float*, int) {});

    render::ProgressLine progress(progressOut, request.outputFile);
    const std::int64_t start = looped.framesPlayed();
    const long double expected = mostFrames(request, beat, samples);
    const auto write = [&](const float* interleaved, int frames) {
        output.write(interleaved, frames);
        progress.update(static_cast<double>((looped.framesPlayed() - start) / expected));
    };
    const auto steps =
        static_cast<std::uint64_t>(kSteps) * static_cast<std::uint64_t>(request.loops);
    looped.playUntilTick(kFirstSteadyTick + steps, write);
    if (request.tail) looped.ringOut(write);
    output.commit();
}

}  // namespace

int renderBeat(const RenderRequest& request, std::ostream& errors, std::ostream* progress) {
    try {
        renderChecked(request, progress);
        return 0;
    } catch (const RenderError& error) {
        errors << "trovik: " << error.file << ": " << error.reason << '\n';
    } catch (const std::exception& error) {
        errors << "trovik: " << request.outputFile << ": not rendered (" << error.what() << ")\n";
    }
    errors.flush();
    return 1;
}

}  // namespace trovik
