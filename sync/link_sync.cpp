// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/link_sync.h"

#include <ableton/Link.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "sequencer/steady_time.h"

namespace trovik {
namespace {

constexpr double kQuantum = kBeatsPerBar;
constexpr int kLookMilliseconds = 10;

std::chrono::microseconds micros(std::int64_t value) {
    return std::chrono::microseconds(value);
}

}  // namespace

LinkSync::LinkSync(BeatModel& model, std::FILE* log, QObject* parent)
    : QObject(parent),
      model_(model),
      log_(log),
      steering_(model, log, "Link"),
      link_(std::make_unique<ableton::Link>(
          tempoOfInterval(model.interval() > 0 ? model.interval() : BeatModel::kInitialInterval))) {
    for (int attempt = 0; attempt < 16 && !readClockOffset(); ++attempt) {
    }
    link_->setNumPeersCallback([this](std::size_t peers) { peers_.store(peers); });
    link_->enableStartStopSync(true);
    // The clock runs from launch, alone; a session joined later says
    // whether it plays.
    interval_ = model.interval();
    tempo_ = link_->captureAppSessionState().tempo();
    link_->enable(true);
    connect(&model_, &BeatModel::transportChanged, this, &LinkSync::proposeFromModel);
    connect(&look_, &QTimer::timeout, this, &LinkSync::followSession);
    look_.start(kLookMilliseconds);
}

LinkSync::~LinkSync() {
    link_->enable(false);
}

TimelineSpan LinkSync::span(std::int64_t heardAtNanoseconds, int frames, int sampleRate) {
    if (peers_.load(std::memory_order_relaxed) == 0 || frames <= 0) {
        audioPlaying_ = false;
        return {};
    }
    readClockOffset();
    auto state = link_->captureAudioSessionState();
    const std::int64_t length = nanosecondsIn(frames, sampleRate);
    const std::int64_t heard = steadyHeardAt(heardAtNanoseconds);
    heardAt_ = heard;
    length_ = length;
    const auto start = micros(linkMicros(heard));
    const auto end = start + micros(length / 1000);
    if (state.isPlaying() && !audioPlaying_) {
        // Our bar starts where the session's started (or, joining a playing
        // session, where its phase says).
        state.requestBeatAtStartPlayingTime(0, kQuantum);
        link_->commitAudioSessionState(state);
    }
    audioPlaying_ = state.isPlaying();
    TimelineSpan span;
    span.follows = true;
    span.playing = audioPlaying_;
    if (!span.playing) return span;  // a start begins at step 1
    const double first = state.beatAtTime(start, kQuantum);
    const double last = state.beatAtTime(end, kQuantum);
    span.sixteenthAt = first * kStepsPerBeat;
    span.sixteenthsPerFrame = (last - first) * kStepsPerBeat / frames;
    return span;
}

// A callback that wakes late does not play late: its frames follow the
// ones before. So a block is heard where the one before ended, unless its
// callback came earlier (the schedule is the earliest) or two callbacks in
// a row came more than 4 ms later (the schedule moved: a break, a lost
// period); a schedule that creeps later, as a card's clock may against
// ours, is followed by up to 0.1 %.
std::int64_t LinkSync::steadyHeardAt(std::int64_t told) {
    constexpr std::int64_t kMoved = 4'000'000;  // ns
    const std::int64_t due = heardAt_ + length_;
    const bool late = heardAt_ != 0 && told - due > kMoved;
    const bool moved = late && lateBefore_;
    lateBefore_ = late;
    if (heardAt_ == 0 || told < due || moved) return told;
    return std::min(told, due + length_ / 1000);
}

// Link keeps its own clock (the raw monotonic one), which the system's
// slewing of ours moves against it: the offset is read again at every block,
// and a read that was held up between the clocks is passed over.
bool LinkSync::readClockOffset() {
    const auto linkAhead = microsecondsAhead([this] { return link_->clock().micros().count(); });
    if (linkAhead) clockOffsetMicros_ = *linkAhead;
    return linkAhead.has_value();
}

void LinkSync::proposeFromModel() {
    if (steering_.applying()) return;
    auto state = link_->captureAppSessionState();
    const auto now = link_->clock().micros();
    if (model_.interval() != interval_ && model_.interval() > 0) {
        interval_ = model_.interval();
        tempo_ = tempoOfInterval(interval_);
        state.setTempo(tempo_, now);
    }
    if (peers_.load() > 0 && model_.running() != playing_) {
        playing_ = model_.running();
        if (playing_) {
            state.setIsPlayingAndRequestBeatAtTime(true, now, 0, kQuantum);
        } else {
            state.setIsPlaying(false, now);
        }
    }
    link_->commitAppSessionState(state);
}

void LinkSync::followSession() {
    const std::size_t peers = peers_.load();
    const bool joined = peersTold_ == 0 && peers > 0;
    if (peers != peersTold_) {
        peersTold_ = peers;
        std::fprintf(log_, "trovik: Link: %zu peer%s\n", peers, peers == 1 ? "" : "s");
        std::fflush(log_);
    }
    const auto state = link_->captureAppSessionState();
    if (std::abs(state.tempo() - tempo_) > 1e-6) {
        tempo_ = state.tempo();
        interval_ = steering_.takeTempo(tempo_);
    }
    // Alone, the model leads; with peers, the session's start and stop are ours.
    if (peers == 0 || (state.isPlaying() == playing_ && !joined)) return;
    playing_ = state.isPlaying();
    steering_.run(playing_);
}

}  // namespace trovik
