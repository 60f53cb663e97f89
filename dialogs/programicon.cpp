// SPDX-License-Identifier: MIT
#include "dialogs/programicon.h"

#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

namespace dialogs {

QPixmap ProgramPixmap(int size, qreal devicePixelRatio) {
    const int pixels = static_cast<int>(std::lround(size * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    // Rendered here rather than through QIcon's SVG plugin, which a minimal installation may lack.
    QSvgRenderer renderer(QStringLiteral(":/pavendel/pavendel.svg"));
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        icon.addPixmap(ProgramPixmap(size));
    }
    return icon;
}

}  // namespace dialogs
