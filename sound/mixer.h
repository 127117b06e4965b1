// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "sequencer/step_sequencer.h"
#include "sound/dry_stream_detector.h"
#include "sound/sample.h"
#include "sound/track_slots.h"

namespace trovik {

// Renders the beat: walks the step clock over each block and plays its hits
// on one voice, each starting on its exact frame and cutting the sound that
// was playing. Each track plays the sample its slot last handed over.
//
// On a live stream the grid keeps its place on the steady clock (see
// streamStarts()): within one unbroken stream every step falls on its exact
// frame; across a break of the stream the grid's frames jump ahead by the
// break, as the steady clock measures it.
//
// Runs on the audio thread, or on whatever stands in for it while there is
// no device (renderWithoutStream()); one thread at a time, which
// shutStream() enforces against a stream that comes back to life after it
// was given up. Never allocates, locks, logs or touches a file.
class Mixer : private StepSounds {
  public:
    Mixer(SequencerLink& link, TrackSlots& slots, int sampleRate);

    // Writes the next `frames` interleaved stereo frames to `out`.
    // `nowNanoseconds`: the steady clock when the stream asked for them
    // (steadyNanoseconds()), told back to the model. After streamStarts()
    // the grid follows it: a new stream's first block starts where the
    // clock says, counted from the last block's time and first grid frame
    // (from when each is heard, where setHeardLatency() told it),
    // and a stream found to have run dry (a DryStreamDetector's verdict)
    // skips the grid's frames by the gap.
    // While the stream is shut out, it writes silence and touches nothing else.
    void render(float* out, int frames, std::int64_t nowNanoseconds);

    // A new stream may render: its first block joins the grid to the steady
    // clock, from the last block's time. Also the mark of a live stream: a
    // mixer never told this (rendering a file) walks the stream's frames
    // alone. Only while no thread renders; nothing after shutForGood().
    void streamStarts();
    // Shuts the stream out, so that another thread may stand in for it
    // with renderWithoutStream(), whose first block joins the grid to the
    // clock. Waits only for a block under way.
    void shutStream() { shut(kShut); }
    // The same, and no stream renders again: the program ends.
    void shutForGood() { shut(kShutForGood); }
    // Renders as render() does, for the thread that stands in for the
    // stream while it is shut out.
    void renderWithoutStream(float* out, int frames, std::int64_t nowNanoseconds);

    // The steps follow `timeline` (see StepSequencer::follow), each block
    // placed on it by when it is heard: its callback's time plus the
    // output latency the device last told. Set before any stream renders.
    void follow(StepTimeline* timeline) { steps_.follow(timeline); }
    // From the audio thread: how long after its callback a block is heard.
    void setOutputLatency(std::int64_t nanoseconds) {
        outputLatency_.store(nanoseconds, std::memory_order_relaxed);
    }
    // The same, told before the next render() from the server's own timing:
    // when that block's first frame is heard, all it holds ahead counted. A
    // join between blocks told so lines up their heard times.
    void setHeardLatency(std::int64_t nanoseconds) {
        setOutputLatency(nanoseconds);
        heardLatencyTold_ = true;
    }

    // From the audio thread, before render(), by a device whose server
    // tells each dry run itself (the native stream's underflows): how many
    // it has told. The dry detector's verdict then moves the grid only
    // when the server told a dry run in the seconds before it (the verdict
    // comes one to two seconds after the hole); a lasting shift of its
    // requests alone is not a hole.
    void tellDryRuns(std::uint64_t told) {
        dryRunsTold_ = told;
        dryRunsTellingStream_ = true;
    }
    // From the audio thread, before render(), by a device whose server
    // times the stream (the native stream): how much later than by its last
    // timing the stream's frames are now heard, 0 if not. A stream that ran
    // dry plays on from where it stopped, so after a dry run the server told
    // that is the hole, to the frame and at once; the dry detector's verdict
    // is then not needed. Later without a dry run told is not a hole.
    void tellHeardLater(std::int64_t nanoseconds) {
        heardLater_ += nanoseconds;
        heardTimingStream_ = true;
    }

    std::int64_t framesRendered() const { return framesRendered_; }
    // When the block after the last one falls due on the steady clock: its
    // time plus its length. Only from the thread that renders, or after
    // shutStream().
    std::int64_t nextBlockDue() const {
        return lastBlockAt_ + nanosecondsIn(lastBlockFrames_, sampleRate());
    }
    int sampleRate() const { return steps_.sampleRate(); }
    // How many frames the sound playing has still to play: 0 when none
    // plays, Sample::kEndUnknown while its end is not known yet (a sample
    // still being decoded, or streamed).
    std::int64_t voiceFramesLeft() const;
    // Between blocks: the sound playing becomes `track`'s sample from frame
    // `position` on, as if a hit had started it that many frames ago.
    void continueVoice(Track track, std::int64_t position);

  private:
    enum Gate : int { kOpen, kShut, kShutForGood };

    void shut(Gate how);
    void renderBlock(float* out, int frames, std::int64_t nowNanoseconds);
    void PlaySample(Track track, int frameOffset) override;
    void keepGridOnClock(int frames, std::int64_t nowNanoseconds);
    std::int64_t dryGap(std::int64_t detected, std::int64_t nowNanoseconds);
    void takeOffers();
    void renderVoiceUntil(int frame);
    void letVoiceGo();

    StepSequencer steps_;
    TrackSlots& slots_;
    std::int64_t framesRendered_ = 0;
    std::atomic<int> gate_{kOpen};
    std::atomic<bool> streamRendering_{false};
    std::atomic<std::int64_t> outputLatency_{0};
    // The grid on the clock: whether it follows the clock, the block before
    // (its first grid frame and time), the stream's dry runs.
    bool followsClock_ = false;
    bool streamStarting_ = false;
    bool rendered_ = false;
    std::int64_t lastBlockFrame_ = 0;
    std::int64_t lastBlockAt_ = 0;
    int lastBlockFrames_ = 0;
    // The heard latency told for the block being rendered, and the last one's.
    bool heardLatencyTold_ = false;
    std::optional<std::int64_t> lastBlockHeardLatency_;
    // The dry runs the device told, the count the last block saw, and when
    // the newest came (kNoDryRun: none waiting for a verdict).
    static constexpr std::int64_t kNoDryRun = INT64_MIN;
    static constexpr std::int64_t kDryRunVerdictWithin = 3'000'000'000;
    bool dryRunsTellingStream_ = false;
    std::uint64_t dryRunsTold_ = 0;
    std::uint64_t dryRunsSeen_ = 0;
    std::int64_t dryRunToldAt_ = kNoDryRun;
    bool heardTimingStream_ = false;
    std::int64_t heardLater_ = 0;
    DryStreamDetector stream_;
    std::array<const Sample*, kTrackCount> current_{};
    // The block being rendered, and how far.
    float* out_ = nullptr;
    int done_ = 0;
    // The one voice: which track's sample, from which frame on. A voice
    // whose track has taken another sample meanwhile holds the old loan.
    const Sample* voice_ = nullptr;
    bool voiceHoldsLoan_ = false;
    std::int64_t voicePosition_ = 0;
};

}  // namespace trovik
