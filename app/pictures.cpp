// SPDX-License-Identifier: MIT
#include "app/pictures.h"

#include <QPainter>
#include <QSvgRenderer>

namespace app {

QPixmap PicturePixmap(const char* name, int size, qreal devicePixelRatio) {
    QSvgRenderer renderer(QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(name)));
    if (!renderer.isValid()) {
        return QPixmap();
    }
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon PictureIcon(const char* name, std::initializer_list<int> sizes) {
    QIcon icon;
    for (const int size : sizes) {
        for (const qreal ratio : {1.0, 2.0}) {
            const QPixmap pixmap = PicturePixmap(name, size, ratio);
            if (pixmap.isNull()) {
                return QIcon();
            }
            // Selected entries keep their colours instead of a tint of the highlight.
            icon.addPixmap(pixmap, QIcon::Normal);
            icon.addPixmap(pixmap, QIcon::Selected);
        }
    }
    return icon;
}

}  // namespace app
