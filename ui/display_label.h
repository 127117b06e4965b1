// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QLabel>
#include <QPixmap>

namespace trovik {

// A label of plain text whose face changes often among a few texts (the bar
// and tempo displays, at every step): each text is laid out and drawn once,
// and shown again from a picture, so a step costs no text shaping.
class DisplayLabel : public QLabel {
  public:
    DisplayLabel(const QString& text, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QPixmap drawText() const;

    // More texts than a display shows in turn; past that the pictures are drawn anew.
    static constexpr qsizetype kMostPictures = 64;
    QHash<QString, QPixmap> pictures_;
};

}  // namespace trovik
