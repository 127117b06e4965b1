// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpus of the WAV decoder's fuzz test: a short tone in
// each kind of WAV the program plays, and a few damaged ones.
//
// usage: make_wav_seeds <folder>
#include <sndfile.h>

#include <cstdio>
#include <filesystem>

#include "tests/sound/test_wavs.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_wav_seeds <folder>\n");
        return 2;
    }
    namespace fs = std::filesystem;
    using trovik::testing::writeToneWav;
    const fs::path folder = argv[1];
    fs::create_directories(folder);
    for (const auto& kind : trovik::testing::kWavKinds)
        writeToneWav(folder / kind.name, kind.format, kind.channels, kind.rate, 1000.0, 0.004);
    // Cut short in its sound, and a header that promises nearly 2 GB.
    fs::copy_file(folder / "pcm16_stereo_48000.wav", folder / "cut_short.wav");
    fs::resize_file(folder / "cut_short.wav", fs::file_size(folder / "cut_short.wav") / 2);
    trovik::testing::writeLongToneWav(folder / "huge_header.wav", 1'900'000'000u, 44100, 1000.0,
                                      0.01);
    fs::resize_file(folder / "huge_header.wav", 1000);
    return 0;
}
