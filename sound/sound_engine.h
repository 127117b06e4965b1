#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "sound/sample_player.h"

namespace trovik {

class StreamTime;

// The program's sound: the output device, the mixer the device's audio
// thread renders, the decoded samples and the player that lends them out.
// It owns them in an order that makes shutdown safe by itself: the device
// keeper's thread stops first, then the audio thread, and only then go the
// samples it may have been reading.
//
// Built once in main, on the user-interface thread, which is the only
// thread that may use player(). When no sound server is there, the program
// runs silently and starts to sound once one appears.
class SoundEngine {
  public:
    // Process-wide settings of the sound library; main calls it once, before
    // the engine is built.
    static void prepareProcess();

    // Every hit is placed a short allowance after its due time, so a tick
    // that other busy programs hold back longer than that would sound late.
    // main calls this on the thread that runs the step timer, after the
    // engine is built: it raises that thread's priority where the system
    // allows. False where it refuses; the program then runs as before.
    static bool raiseStepTimerThread();

    // `dataFolder` holds the shipped drum samples.
    explicit SoundEngine(const std::filesystem::path& dataFolder);
    ~SoundEngine();
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    SamplePlayer& player();
    // The output stream's time, which the step timer runs on: grid hits are
    // due in it. User-interface thread only.
    StreamTime& streamTime();

    // The rate everything is decoded and played at.
    int sampleRate() const;
    // Whether a device is open and playing right now. Any thread.
    bool sounding() const;
    // Hits that reached the audio thread after their frame had passed. Any thread.
    std::int64_t lateCommands() const;

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace trovik
