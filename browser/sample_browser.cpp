#include "browser/sample_browser.h"

#include "browser/path_rules.h"

namespace trovik {

void SampleBrowser::Drive1_Change() {
    c_.Dir1.setPath(c_.Drive1.Drive());
}

void SampleBrowser::Timer4_Timer() {
    c_.Dir1.setPath(c_.Drive1.Drive());
    c_.File1.setPath(c_.Dir1.Path());
}

// The directory comes from Dir1, which may already show another directory
// than the one File1 lists until the next tick.
void SampleBrowser::File1_Click() {
    const int index = c_.File1.ListIndex();
    if (index < 0) return;
    c_.Label7.setText(joinPath(c_.Dir1.Path(), c_.File1.List(index)));
}

}  // namespace trovik
