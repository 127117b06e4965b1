#pragma once

#include <ostream>

#include "beat_file.h"

namespace trovik {

// Lets a failed comparison show the beat instead of its bytes.
inline void PrintTo(const BeatValues& beat, std::ostream* out) {
    *out << '"' << beat.beatName.toStdString() << "\", \"" << beat.author.toStdString() << "\", \""
         << beat.info.toStdString() << "\", " << beat.interval << ", cells:";
    for (const QString& caption : beat.cells) *out << " \"" << caption.toStdString() << '"';
}

}  // namespace trovik
