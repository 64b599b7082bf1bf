#include "resources/DialogUnits.h"

#include <QFontMetrics>
#include <QString>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

QRect DialogUnitRect(const QFont& font, int x, int y, int w, int h)
{
    const QFontMetrics metrics(font);
    const QString sample = QStringLiteral("カ");
    QTextLayout layout(sample, font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const int cx = std::max(metrics.averageCharWidth(), (metrics.horizontalAdvance(sample) + 1) / 2);
    const int cy = std::max(metrics.height(), static_cast<int>(std::ceil(line.height())));
    return QRect(x * cx / 4, y * cy / 8, w * cx / 4, h * cy / 8);
}
