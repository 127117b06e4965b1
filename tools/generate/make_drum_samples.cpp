// SPDX-License-Identifier: GPL-3.0-or-later
// Synthesises the two drum samples the program ships: a bass drum (a falling
// sine sweep under an exponential envelope) and a snare drum (band-limited
// noise over a short tone). Both are 16-bit 44.1 kHz mono WAV files.
//
// usage: make_drum_samples <output-folder>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

void putLe(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xff));
}

bool writeWav(const std::filesystem::path& path, const std::vector<double>& samples) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    putLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);  // fmt chunk size
    putLe(out, 1, 2);   // PCM
    putLe(out, 1, 2);   // mono
    putLe(out, kRate, 4);
    putLe(out, kRate * 2, 4);  // byte rate
    putLe(out, 2, 2);          // block align
    putLe(out, 16, 2);         // bits per sample
    out.write("data", 4);
    putLe(out, dataBytes, 4);
    for (double s : samples) {
        const double clipped = std::clamp(s, -1.0, 1.0);
        putLe(out,
              static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(clipped * 32767.0))),
              2);
    }
    out.close();
    return static_cast<bool>(out);
}

std::vector<double> bassDrum() {
    const int frames = kRate * 45 / 100;
    std::vector<double> out(frames);
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double frequency = 45.0 + 110.0 * std::exp(-t * 28.0);
        phase += kTwoPi * frequency / kRate;
        const double body = std::sin(phase) * std::exp(-t * 7.5);
        const double click = std::exp(-t * 900.0) * 0.35;  // the beater's attack
        out[i] = 0.9 * (body + click);
    }
    return out;
}

std::vector<double> snareDrum() {
    const int frames = kRate * 25 / 100;
    std::vector<double> out(frames);
    std::mt19937 noiseSource(20261206u);
    std::uniform_real_distribution<double> white(-1.0, 1.0);
    double lowPassed = 0.0;
    double previousNoise = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double noise = white(noiseSource);
        // A crude band: a one-pole low-pass at about 7 kHz minus the previous
        // sample takes off the lowest rumble; the snares live in between.
        lowPassed += 0.62 * (noise - lowPassed);
        const double band = lowPassed - 0.5 * previousNoise;
        previousNoise = lowPassed;
        const double rattle = band * std::exp(-t * 18.0);
        const double tone = std::sin(kTwoPi * 185.0 * t) * std::exp(-t * 30.0);
        out[i] = 0.75 * rattle + 0.55 * tone;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output-folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }
    if (!writeWav(folder / "bass.wav", bassDrum()) ||
        !writeWav(folder / "snare.wav", snareDrum())) {
        std::fprintf(stderr, "cannot write the samples into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
