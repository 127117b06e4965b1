// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/link_sync.h"

#include <ableton/Link.hpp>
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
      link_(std::make_unique<ableton::Link>(
          tempoOfInterval(model.interval() > 0 ? model.interval() : BeatModel::kInitialInterval))) {
    clockOffsetMicros_ = link_->clock().micros().count() - steadyNanoseconds() / 1000;
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
    auto state = link_->captureAudioSessionState();
    const auto start = micros(linkMicros(heardAtNanoseconds));
    const auto end = start + micros(nanosecondsIn(frames, sampleRate) / 1000);
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
    const double first = state.beatAtTime(start, kQuantum);
    const double last = state.beatAtTime(end, kQuantum);
    span.sixteenthAt = first * kStepsPerBeat;
    span.sixteenthsPerFrame = (last - first) * kStepsPerBeat / frames;
    return span;
}

void LinkSync::proposeFromModel() {
    if (applying_) return;
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
    if (std::abs(state.tempo() - tempo_) > 1e-6) applyTempo(state.tempo());
    // Alone, the model leads; with peers, the session's start and stop are ours.
    if (peers == 0) return;
    if (state.isPlaying() == playing_ && !joined) return;
    playing_ = state.isPlaying();
    if (playing_ == model_.running()) return;
    applying_ = true;
    if (playing_) {
        model_.Command1_Click();
    } else {
        model_.Command2_Click();
    }
    applying_ = false;
}

void LinkSync::applyTempo(double bpm) {
    tempo_ = bpm;
    std::fprintf(log_, "trovik: Link: tempo %.2f BPM\n", bpm);
    const ShownInterval shown = shownInterval(bpm);
    if (shown.clamped && !clampTold_) {
        std::fprintf(log_, "trovik: Link: a step of %.1f ms is shown as %d ms\n",
                     stepMilliseconds(bpm), shown.milliseconds);
        clampTold_ = true;
    }
    std::fflush(log_);
    interval_ = shown.milliseconds;
    applying_ = true;
    model_.setInterval(interval_);
    applying_ = false;
}

}  // namespace trovik
