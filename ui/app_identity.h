// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace trovik {

// The program's title in the title bars of its prompts and message boxes.
// The main window has a caption of its own, in lower case.
inline const QString kApplicationTitle = QStringLiteral("Trovik Beat Maker");
inline const QString kWindowCaption = QStringLiteral("Trovik beat maker");

// The version as it reads in the about text and the Windows version
// resource: major, two-digit minor, four-digit revision ("1.02.0001").
inline const QString kVersionText = QStringLiteral(TROVIK_VERSION_TEXT);

}  // namespace trovik
