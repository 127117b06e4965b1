// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "sequencer/sequencer_link.h"
#include "sound/output_device.h"

namespace trovik {

// The program's sound: the output device, the mixer its audio thread
// renders (walking the step clock as it goes), the thread that keeps each
// track's sample current, and the keeper that reopens a lost device. It owns
// them in an order that makes shutdown safe by itself: the keeper's thread
// stops first, then the audio thread, and only then go the samples it may
// have been reading.
//
// Built once in main. When no sound server is there, the program runs
// silently, the steps go on, and it starts to sound once one appears.
class SoundEngine {
  public:
    // Process-wide settings of the sound library; main calls it once, before
    // the engine is built.
    static void prepareProcess(AudioThreadPriority priority);

    // `dataFolder` holds the shipped drum samples; `link` is where the beat
    // model hands over the beat.
    SoundEngine(const std::filesystem::path& dataFolder, SequencerLink& link);
    ~SoundEngine();
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    // The effect track's file, by the bytes the file system knows it by.
    void setEffectPath(const std::string& path);

    // Whether a device is open and playing right now. Any thread.
    bool sounding() const;

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace trovik
