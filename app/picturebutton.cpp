// SPDX-License-Identifier: MIT
#include "app/picturebutton.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace app {

PictureButton::PictureButton(QWidget* parent) : QToolButton(parent) {
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    const QIcon picture = option.icon;

    // The face, its frame and the focus mark come from the style; the contents are ours.
    option.text.clear();
    option.icon = QIcon();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);

    const QSize pictureSize = iconSize();
    const int captionHeight = caption.isEmpty() ? 0 : fontMetrics().height();
    QRect block(0, 0, width(), pictureSize.height() + captionHeight);
    block.moveCenter(rect().center());
    if (isDown() || isChecked()) {
        block.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                        style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    }

    const QRect pictureRect(block.left() + (block.width() - pictureSize.width()) / 2, block.top(),
                            pictureSize.width(), pictureSize.height());
    picture.paint(&painter, pictureRect, Qt::AlignCenter,
                  isEnabled() ? QIcon::Normal : QIcon::Disabled);
    if (captionHeight > 0) {
        const QRect captionRect(block.left(), pictureRect.bottom() + 1, block.width(),
                                captionHeight);
        painter.drawItemText(captionRect, Qt::AlignHCenter | Qt::AlignTop, palette(), isEnabled(),
                             caption, QPalette::ButtonText);
    }
}

}  // namespace app
