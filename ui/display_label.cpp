// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/display_label.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

namespace trovik {

DisplayLabel::DisplayLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    // The picture covers the whole label, background and all.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DisplayLabel::paintEvent(QPaintEvent*) {
    auto found = pictures_.constFind(text());
    if (found == pictures_.constEnd() || found->devicePixelRatio() != devicePixelRatioF()) {
        if (pictures_.size() >= kMostPictures) pictures_.clear();
        found = pictures_.insert(text(), drawText());
    }
    QPainter(this).drawPixmap(0, 0, *found);
}

// As the label draws itself: its background, then the text in its place.
QPixmap DisplayLabel::drawText() const {
    QPixmap picture(size() * devicePixelRatioF());
    picture.setDevicePixelRatio(devicePixelRatioF());
    picture.fill(palette().color(backgroundRole()));
    QPainter painter(&picture);
    painter.setFont(font());
    style()->drawItemText(&painter, contentsRect(),
                          QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), text(), foregroundRole());
    return picture;
}

void DisplayLabel::changeEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::FontChange:
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
        case QEvent::EnabledChange:
        case QEvent::LayoutDirectionChange:
            pictures_.clear();
            break;
        default:
            break;
    }
    QLabel::changeEvent(event);
}

void DisplayLabel::resizeEvent(QResizeEvent* event) {
    pictures_.clear();
    QLabel::resizeEvent(event);
}

}  // namespace trovik
