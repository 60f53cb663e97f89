// SPDX-License-Identifier: MIT
// Renders an SVG picture into a square PNG file of the given size:
//   pavendel-render-icon INPUT.svg SIZE OUTPUT.png
// The build uses it for the bitmap sizes of the desktop icon theme, so that no SVG converter
// outside Qt is needed.
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: pavendel-render-icon INPUT.svg SIZE OUTPUT.png\n");
        return 2;
    }
    bool sizeOk = false;
    const int size = arguments.at(2).toInt(&sizeOk);
    if (!sizeOk || size < 1 || size > 4096) {
        std::fprintf(stderr, "pavendel-render-icon: bad size %s\n",
                     arguments.at(2).toLocal8Bit().constData());
        return 2;
    }

    QSvgRenderer renderer(arguments.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "pavendel-render-icon: cannot read %s\n",
                     arguments.at(1).toLocal8Bit().constData());
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&painter);
    }
    if (!image.save(arguments.at(3), "PNG")) {
        std::fprintf(stderr, "pavendel-render-icon: cannot write %s\n",
                     arguments.at(3).toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
