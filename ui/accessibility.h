#pragma once

#include "form_controls.h"

namespace trovik {

// Gives every control a name that tells it apart for a screen reader ("Bass
// step 5", "Effect track switch", "Tempo"), and lets the step cells and the
// track switches report as check boxes that are checked while the cell is
// on or the track sounds. The tempo and bar displays keep no name of their
// own, so their text is what is read.
void describeForAssistiveTechnology(const FormControls& c);

}  // namespace trovik
