// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "sequencer/sequencer_link.h"
#include "sequencer/step_timeline.h"
#include "sound/output_device.h"

namespace trovik {

// The program's sound: the output device, the mixer its audio thread
// renders (walking the step clock as it goes), the thread that keeps each
// track's sample current, and the keeper that reopens a lost device. Its end
// first stops everything that reads the beat or renders the mixer, then the
// rest, waiting kShutdownWait at most for a sound server that hangs; the
// samples go only after the audio thread has stopped.
//
// Built once in main. When no sound server is there, the program runs
// silently, the steps go on, and it starts to sound once one appears.
class SoundEngine {
  public:
    // How long the engine's end waits for a sound server that hangs.
    static constexpr std::chrono::milliseconds kShutdownWait{1000};

    // Process-wide settings of the sound library; main calls it once, before
    // the engine is built.
    static void prepareProcess(AudioThreadPriority priority);

    // `dataFolder` holds the shipped drum samples; `link` is where the beat
    // model hands over the beat; the steps follow `timeline` when one is given.
    SoundEngine(const std::filesystem::path& dataFolder, SequencerLink& link,
                StepTimeline* timeline = nullptr);
    ~SoundEngine();
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    // The effect track's file, by the bytes the file system knows it by.
    void setEffectPath(const std::string& path);
    // Looks at the sample files at once: Play, so that the first step plays
    // what they hold now.
    void lookAtSamplesNow();

    // Whether a device is open and playing right now. Any thread.
    bool sounding() const;

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace trovik
