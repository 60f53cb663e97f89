// SPDX-License-Identifier: MIT
// A label that acts as a link: its text in the highlight colour (the colour of selected items),
// Arial 9 pt, a pointing-hand pointer while the mouse is over it, and a click signal.
#pragma once

#include <QCursor>
#include <QLabel>

namespace dialogs {

// The 32 × 32 pointing hand, its hot spot at the tip of the index finger (12, 1).
QCursor HandCursor();

class LinkLabel : public QLabel {
    Q_OBJECT

 public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

 Q_SIGNALS:
    // A left-button press and release both on the label, as a button click.
    void clicked();

 protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

 private:
    bool m_pressed = false;
};

}  // namespace dialogs
