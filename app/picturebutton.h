// SPDX-License-Identifier: MIT
// A graphical command button: its picture with the caption under it, the two centred together
// on a raised button face. The top buttons are barely taller than a 48-pixel picture and a line
// of text, so the pair is packed without the margins QToolButton puts between them.
#pragma once

#include <QToolButton>

namespace app {

class PictureButton final : public QToolButton {
    Q_OBJECT

 public:
    explicit PictureButton(QWidget* parent = nullptr);

 protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace app
