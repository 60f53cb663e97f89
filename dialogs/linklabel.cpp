// SPDX-License-Identifier: MIT
#include "dialogs/linklabel.h"

#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>

namespace dialogs {

QCursor HandCursor() {
    return QCursor(QPixmap(QStringLiteral(":/pavendel/hand.xpm")), 12, 1);
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    QFont linkFont(QStringLiteral("Arial"));
    linkFont.setPointSizeF(9);
    setFont(linkFont);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, colours.color(QPalette::Highlight));
    setPalette(colours);
    setCursor(HandCursor());
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click) {
        Q_EMIT clicked();
    }
}

}  // namespace dialogs
