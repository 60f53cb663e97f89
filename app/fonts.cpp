// SPDX-License-Identifier: MIT
#include "app/fonts.h"

#include <QStringList>

namespace app {

void UseMetricCompatibleFonts() {
    const QString substitute = QLatin1String(kMetricCompatibleFamily);
    for (const QString& family : {QStringLiteral("Arial"), QStringLiteral("MS Sans Serif")}) {
        if (!QFont::substitutes(family).contains(substitute)) {
            QFont::insertSubstitution(family, substitute);
        }
    }
}

namespace {

QFont familyAt(const QString& family, qreal points) {
    QFont font(family);
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

}  // namespace

QFont ArialFont(qreal points) {
    return familyAt(QStringLiteral("Arial"), points);
}

QFont MsSansSerifFont(qreal points) {
    return familyAt(QStringLiteral("MS Sans Serif"), points);
}

}  // namespace app
