// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "render/beat_render.h"

namespace trovik {

// What the program was asked to do on its command line.
struct CommandLine {
    enum class Action { OpenWindow, Render, ShowHelp, ShowVersion, UsageError };
    Action action = Action::OpenWindow;
    std::string beatFile;        // OpenWindow: the beat to load, or empty; bytes as given
    bool link = false;           // OpenWindow: play in a Link session
    bool jackTransport = false;  // OpenWindow: follow the JACK transport
    RenderRequest render;        // Render: all but the data folder
    QString error;               // UsageError: what was wrong, in one line
};

// Reads the arguments, the program's own name first, as the bytes they are:
// a file name is kept byte for byte, whatever the locale makes of it.
// Never exits and needs no application object.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The usage text of --help. Qt wants the running application object for
// it, so one must exist.
QString helpText();

// The first line of --version, and the licence after it.
QString versionText(const QString& version);

}  // namespace trovik
