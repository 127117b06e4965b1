// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/beat_render.h"

#include <sys/stat.h>

#include <exception>
#include <memory>
#include <optional>

#include "render/looped_beat.h"
#include "render/progress_line.h"
#include "render/render_inputs.h"
#include "render/wav_output.h"
#include "sound/drum_kit.h"
#include "sound/track_slots.h"

namespace trovik {
namespace {

using render::BeatToRender;
using render::LoopedBeat;
using render::RenderError;
using render::SampleToRender;

// The WAV format counts its bytes in 32 bits; the header chunks take the rest.
constexpr long double kMostDataBytes = 4294967295.0L - 4096;

struct Samples {
    std::unique_ptr<SampleToRender> bass, snare, effect;
    std::string bassFile, snareFile;

    std::array<render::TrackSound, kTrackCount> byTrack() const {
        static const render::TrackSound kSilence{&TrackSlots::silence(), 0};
        return {soundOf(*bass), soundOf(*snare), effect ? soundOf(*effect) : kSilence};
    }
    void fill() const {
        for (SampleToRender* sample : {bass.get(), snare.get(), effect.get()})
            if (sample != nullptr) sample->fill();
    }

  private:
    static render::TrackSound soundOf(const SampleToRender& sample) {
        return {&sample.sample(), sample.frames()};
    }
};

void checkRequest(const RenderRequest& request) {
    if (request.sampleRate < kLowestRenderRate || request.sampleRate > kHighestRenderRate)
        throw RenderError{request.outputFile,
                          "the sample rate must be from 8000 to 192000 Hz, not " +
                              std::to_string(request.sampleRate)};
    if (request.loops < 1)
        throw RenderError{request.outputFile,
                          "the loop count must be 1 or more, not " + std::to_string(request.loops)};
}

Samples openSamples(const RenderRequest& request) {
    const DrumKit kit(request.dataFolder);
    const int rate = static_cast<int>(request.sampleRate);
    Samples samples;
    samples.bassFile = kit.resolve(kBassSampleName);
    samples.snareFile = kit.resolve(kSnareSampleName);
    samples.bass = std::make_unique<SampleToRender>(samples.bassFile, rate);
    samples.snare = std::make_unique<SampleToRender>(samples.snareFile, rate);
    if (!request.effectFile.empty())
        samples.effect = std::make_unique<SampleToRender>(request.effectFile, rate);
    return samples;
}

std::optional<std::pair<dev_t, ino_t>> identityOf(const std::string& fileName) {
    struct stat facts {};
    if (::stat(fileName.c_str(), &facts) != 0) return std::nullopt;
    return std::pair{facts.st_dev, facts.st_ino};
}

// Writing the output must not destroy what the render reads, under any of
// its names.
void refuseInputAsOutput(const RenderRequest& request, const Samples& samples) {
    if (request.outputFile == render::kStandardOutput) return;
    const auto output = identityOf(request.outputFile);
    if (!output) return;
    const std::pair<const std::string*, const char*> inputs[] = {
        {&request.beatFile, "the beat file"},
        {&request.effectFile, "the effect file"},
        {&samples.bassFile, "the bass sample"},
        {&samples.snareFile, "the snare sample"}};
    for (const auto& [fileName, what] : inputs) {
        if (!fileName->empty() && identityOf(*fileName) == output)
            throw RenderError{request.outputFile,
                              std::string("is ") + what + ", which the render reads"};
    }
}

void checkSize(const RenderRequest& request, long double frames) {
    const int bytesPerFrame = Sample::kChannels * (request.floatSamples ? 4 : 2);
    if (frames * bytesPerFrame > kMostDataBytes)
        throw RenderError{request.outputFile,
                          std::to_string(request.loops) + " loops make a WAV file over 4 GiB"};
}

void renderChecked(const RenderRequest& request, std::ostream* progressOut) {
    checkRequest(request);
    const BeatToRender beat = render::readBeatToRender(request.beatFile);
    const Samples samples = openSamples(request);
    refuseInputAsOutput(request, samples);
    // A rough bound first, so that no count below can overflow.
    checkSize(request, static_cast<long double>(kSteps) * request.loops * beat.interval *
                           request.sampleRate / 1000);

    const int rate = static_cast<int>(request.sampleRate);
    LoopedBeat looped(
        beat, request.muted, samples.byTrack(), rate, [&samples] { samples.fill(); },
        static_cast<std::uint64_t>(request.loops));
    const std::int64_t frames = looped.loopFrames() + (request.tail ? looped.tailFrames() : 0);
    checkSize(request, static_cast<long double>(frames));
    render::WavOutput output(request.outputFile, rate, request.floatSamples, frames);

    render::ProgressLine progress(progressOut, request.outputFile);
    std::int64_t written = 0;
    const auto write = [&](const float* interleaved, int count) {
        output.write(interleaved, count);
        written += count;
        progress.update(static_cast<double>(written) / static_cast<double>(frames));
    };
    looped.playLoops(write);
    if (request.tail) looped.ringOut(write);
    output.commit();
}

}  // namespace

int renderBeat(const RenderRequest& request, std::ostream& errors, std::ostream* progress) {
    try {
        renderChecked(request, progress);
        return 0;
    } catch (const RenderError& error) {
        errors << "trovik: " << error.file() << ": " << error.what() << '\n';
    } catch (const std::exception& error) {
        errors << "trovik: " << request.outputFile << ": not rendered (" << error.what() << ")\n";
    }
    errors.flush();
    return 1;
}

}  // namespace trovik
