// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry: any bytes must read as a beat or as a failure naming a
// group, never crash; a beat that reads must write and read back the same.
#include <cstdint>
#include <cstdlib>

#include "beatfile/beat_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trovik;
    const BeatFileReading reading = readBeatFile(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!reading.beat) {
        if (reading.failedGroup < 1 || reading.failedGroup > kBeatFileGroups) std::abort();
        return 0;
    }
    if (reading.beat->interval < 0 || reading.beat->interval > kLongestInterval) std::abort();
    if (const std::optional<QByteArray> written = writeBeatFile(*reading.beat)) {
        if (readBeatFile(*written).beat != reading.beat) std::abort();
    }
    return 0;
}
