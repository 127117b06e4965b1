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
    struct Kind {
        const char* name;
        int format, channels, rate;
    };
    for (const Kind kind :
         {Kind{"u8_mono_22050.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 22050},
          Kind{"pcm16_mono_44100.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100},
          Kind{"pcm16_stereo_48000.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000},
          Kind{"pcm24_stereo_96000.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 96000},
          Kind{"pcm32_mono_8000.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 1, 8000},
          Kind{"float_stereo_44100.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100},
          Kind{"double_mono_32000.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 1, 32000},
          Kind{"pcm16_4ch_44100.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 4, 44100},
          Kind{"wavex_pcm16_stereo.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 2, 44100},
          Kind{"rf64_pcm16_mono.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 1, 48000}}) {
        writeToneWav(folder / kind.name, kind.format, kind.channels, kind.rate, 1000.0, 0.004);
    }
    // Cut short in its sound, and a header that promises nearly 2 GB.
    fs::copy_file(folder / "pcm16_stereo_48000.wav", folder / "cut_short.wav");
    fs::resize_file(folder / "cut_short.wav", fs::file_size(folder / "cut_short.wav") / 2);
    trovik::testing::writeLongToneWav(folder / "huge_header.wav", 1'900'000'000u, 44100, 1000.0,
                                      0.01);
    fs::resize_file(folder / "huge_header.wav", 1000);
    return 0;
}
