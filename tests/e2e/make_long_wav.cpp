// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a 16-bit mono WAV of any size up to the format's limit at once: a
// tone at its start, then silence left as a hole in the file.
//
// usage: make_long_wav <file> <sound-bytes> <rate> <frequency-hz> <tone-seconds>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "tests/sound/test_wavs.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(
            stderr,
            "usage: make_long_wav <file> <sound-bytes> <rate> <frequency-hz> <tone-seconds>\n");
        return 2;
    }
    try {
        trovik::testing::writeLongToneWav(
            argv[1], static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)),
            std::atoi(argv[3]), std::atof(argv[4]), std::atof(argv[5]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
