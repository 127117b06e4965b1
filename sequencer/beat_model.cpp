// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequencer/beat_model.h"

#include <QFile>
#include <algorithm>

namespace trovik {
namespace {

std::size_t cellIndex(int commandNumber) {
    return static_cast<std::size_t>(std::clamp(commandNumber, kFirstCellNumber, kLastCellNumber) -
                                    kFirstCellNumber);
}

// Numbers show with a leading blank where a sign would go: "Bar- 7".
QString signedNumber(int value) {
    return (value >= 0 ? QStringLiteral(" ") : QString()) + QString::number(value);
}

}  // namespace

BeatModel::BeatModel(SequencerLink& link, QObject* parent) : QObject(parent), link_(link) {
    published_.interval = static_cast<std::int16_t>(interval_);
    published_.running = running_;
    publish();
}

const QString& BeatModel::caption(int commandNumber) const {
    return captions_[cellIndex(commandNumber)];
}

int BeatModel::position() const {
    const StepFeedback told = link_.feedback.read();
    // Until the step clock has taken a position set here, the one set counts.
    if (told.positionGeneration != published_.positionGeneration) return published_.position;
    return told.position;
}

void BeatModel::StepCell_Click(int commandNumber) {
    const QString& now = caption(commandNumber);
    if (now == kCellOff) {
        setCaption(commandNumber, kCellOn);
    } else if (now == kCellOn) {
        setCaption(commandNumber, kCellOff);
    }
    publish();
}

void BeatModel::TrackSwitch_Click(Track track) {
    bool& sounding = sounding_[static_cast<std::size_t>(indexOf(track))];
    sounding = !sounding;
    publish();
    emit switchChanged(track);
}

void BeatModel::Command1_Click() {
    setTransport(true, interval_);
}

void BeatModel::Command2_Click() {
    setPosition(1);
    setTransport(false, interval_);
}

void BeatModel::setInterval(int milliseconds) {
    setTransport(running_, std::clamp(milliseconds, 0, kMaxInterval));
}

void BeatModel::rewind() {
    setPosition(1);
    publish();
}

void BeatModel::load(int interval, const std::array<QString, kCellCount>& captions) {
    for (int i = 0; i < kCellCount; ++i)
        setCaption(kFirstCellNumber + i, captions[static_cast<std::size_t>(i)]);
    setInterval(interval);  // publishes the whole beat at once
}

void BeatModel::followPosition() {
    const int now = position();
    if (now == positionShown_) return;
    positionShown_ = now;
    emit positionChanged(now);
}

std::optional<std::chrono::nanoseconds> BeatModel::untilNextStep() const {
    // Stop or tempo 0 holds the position from now on, even while the step
    // clock has not walked the block that sees it and still tells its next tick.
    if (period() == 0) return std::nullopt;
    const StepFeedback told = link_.feedback.read();
    // Not walked yet (no device, and the keeper has not stood in yet): look
    // again soon, or the display would wait for a click to start counting.
    if (told.walkedAtNanoseconds == 0 || told.sampleRate <= 0) return std::chrono::nanoseconds(0);
    if (told.nextTickFrame < 0) {
        // Stopped, or started here and not yet seen there: look again soon.
        if (period() > 0) return std::chrono::nanoseconds(0);
        return std::nullopt;
    }
    // The block that holds the next tick is walked one block after the last
    // one, and then one block later for every block between.
    const std::int64_t framesAhead = told.nextTickFrame - told.framesWalked + told.blockFrames;
    const std::int64_t due =
        told.walkedAtNanoseconds + framesAhead * 1'000'000'000 / told.sampleRate;
    return std::chrono::nanoseconds(due - steadyNanoseconds());
}

void BeatModel::setEffectPath(const QString& path) {
    if (path == effectPath_) return;
    effectPath_ = path;
    emit effectPathChanged(path);
}

void BeatModel::setCaption(int commandNumber, const QString& text) {
    QString& stored = captions_[cellIndex(commandNumber)];
    if (stored == text) return;
    stored = text;
    const std::uint64_t bit = std::uint64_t{1} << cellIndex(commandNumber);
    published_.cellsOn = text.isEmpty() ? published_.cellsOn & ~bit : published_.cellsOn | bit;
    emit cellChanged(commandNumber);
}

void BeatModel::setPosition(int position) {
    published_.position = static_cast<std::int16_t>(position);
    ++published_.positionGeneration;
    positionShown_ = position;
    emit positionChanged(position);
}

// Writing the period it already has leaves the step clock's countdown alone;
// any other value restarts it.
void BeatModel::setTransport(bool running, int interval) {
    const int periodBefore = period();
    const bool changed = running != running_ || interval != interval_;
    running_ = running;
    interval_ = interval;
    if (period() != periodBefore) ++published_.periodGeneration;
    publish();
    if (changed) emit transportChanged();
}

void BeatModel::publish() {
    published_.running = running_;
    published_.interval = static_cast<std::int16_t>(interval_);
    std::uint32_t sounding = 0;
    for (Track track : kTracksInPlayOrder)
        if (sounds(track)) sounding |= 1u << indexOf(track);
    published_.soundingTracks = sounding;
    link_.snapshots.write(published_);
}

QString barText(int position) {
    return QStringLiteral("Bar-") + signedNumber(position);
}

QString tempoText(int interval) {
    return QStringLiteral("Tempo:") + signedNumber(1000 - interval);
}

std::string fileSystemName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace trovik
