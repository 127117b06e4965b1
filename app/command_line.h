// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include "render/beat_render.h"

namespace trovik {

// What the program was asked to do on its command line.
struct CommandLine {
    enum class Action { OpenWindow, Render, ShowHelp, ShowVersion, UsageError };
    Action action = Action::OpenWindow;
    QString beatFile;      // OpenWindow: the beat to load, or empty
    RenderRequest render;  // Render: all but the data folder
    QString error;         // UsageError: what was wrong, in one line
};

// Reads the arguments, the program's own name first. Never exits and needs
// no application object.
CommandLine parseCommandLine(const QStringList& arguments);

// The usage text of --help. Names the program as the running application
// was started, so one must exist.
QString helpText();

}  // namespace trovik
