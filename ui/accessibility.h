// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/form_controls.h"

namespace trovik {

// Lets the step cells and the track switches report as check boxes. It
// applies to the whole process: main calls it once, before any window.
void installAccessibleToggles();

// Gives every control a name that tells it apart for a screen reader ("Bass
// step 5", "Effect track switch", "Tempo"), and marks the step cells and the
// track switches so that, once installAccessibleToggles() has run, they report
// as check boxes that are checked while the cell is on or the track sounds.
// The tempo and bar displays keep no name of their own, so their text is
// what is read.
void describeForAssistiveTechnology(const FormControls& c);

}  // namespace trovik
