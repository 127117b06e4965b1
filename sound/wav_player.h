#pragma once

#include <memory>
#include <unordered_map>

#include "drum_kit.h"
#include "mixer.h"
#include "sample_player.h"

namespace trovik {

// Plays WAV files through a Mixer. Lives on the user-interface thread: it
// decodes the file there, hands the mixer a borrowed sample and frees the
// samples that the audio thread has finished with.
class WavPlayer : public SamplePlayer {
public:
    // `outputRate` is the device's sample rate; 0 means there is no device,
    // and every call is silent.
    WavPlayer(Mixer& mixer, const DrumKit& drumKit, int outputRate);
    ~WavPlayer() override;

    void PlaySample(const std::string& path) override;

    // Frees what the audio thread gave back. PlaySample does this too.
    void collectReleased();

    std::size_t samplesHeld() const { return borrowed_.size(); }

private:
    Mixer& mixer_;
    const DrumKit& drumKit_;
    int outputRate_;
    std::unordered_map<const Sample*, std::unique_ptr<Sample>> borrowed_;
};

}  // namespace trovik
