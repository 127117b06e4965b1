// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest entry for tests that need a QApplication (widgets, timers).
#include <gtest/gtest.h>

#include <QApplication>
#include <QThreadPool>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    // Qt paints large areas in parts on its global pool. One thread there:
    // ThreadSanitizer cannot see the futex under which two of the pool's
    // threads hand its bookkeeping to each other, in functions without a
    // name that tools/measure/tsan.supp could match.
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
