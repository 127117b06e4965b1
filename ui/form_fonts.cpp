// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form_fonts.h"

#include <QStringList>

namespace trovik {
namespace {

// Neither design face ships with Linux. Liberation Sans has Arial's metrics,
// which come within a few per cent of both, so the captions keep the room
// they were given; DejaVu Sans, wider, is the last resort.
QStringList familiesFor(FormFace face) {
    const QString designed =
        face == FormFace::Tahoma ? QStringLiteral("Tahoma") : QStringLiteral("MS Sans Serif");
    return {designed, QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
            QStringLiteral("DejaVu Sans")};
}

}  // namespace

QFont formFont(FormFace face, double points, bool bold) {
    QFont font;
    font.setFamilies(familiesFor(face));
    font.setPixelSize(pixelsForPoints(points));
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

QFont defaultControlFont() {
    return formFont(FormFace::MsSansSerif, 8, false);
}

}  // namespace trovik
