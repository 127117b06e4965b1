// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/sample_browser.h"

#include "browser/path_rules.h"

namespace trovik {

SampleBrowser::SampleBrowser(Controls controls) : c_(controls) {
    timer4_.setObjectName(QStringLiteral("Timer4"));
    timer4_.setSingleShot(true);
    timer4_.setInterval(0);
    const auto tickSoon = [this] { timer4_.start(); };
    QObject::connect(&timer4_, &QTimer::timeout, &timer4_, [this] { Timer4_Timer(); });
    QObject::connect(&c_.Drive1, &DriveListBox::Change, &timer4_, tickSoon);
    QObject::connect(&c_.Dir1, &DirListBox::Change, &timer4_, tickSoon);
}

void SampleBrowser::Drive1_Change() {
    c_.Dir1.setPath(c_.Drive1.Drive());
}

// Until Dir1 has read its first directory there is none to follow.
void SampleBrowser::Timer4_Timer() {
    c_.Dir1.setPath(c_.Drive1.Drive());
    if (!c_.Dir1.Path().isEmpty()) c_.File1.setPath(c_.Dir1.Path());
}

// The directory comes from Dir1, which may already show another directory
// than the one File1 lists until the next tick.
void SampleBrowser::File1_Click() {
    const int index = c_.File1.ListIndex();
    if (index < 0) return;
    emit samplePicked(joinPath(c_.Dir1.Path(), c_.File1.List(index)));
}

}  // namespace trovik
