// Draws the card wait animation: 11 frames of 144 x 56, a card under a reader
// with radio waves spreading from it, one more arc each frame, then a pause.
// voluni-make-animation <output folder>   (writes wait00.png ... wait10.png)
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

constexpr int kFrames = 11;
constexpr int kWidth = 144;
constexpr int kHeight = 56;

void DrawReader(QPainter& painter)
{
    // The reader pad on the right, seen from the side.
    QLinearGradient body(0, 30, 0, 52);
    body.setColorAt(0, QColor(0x5a, 0x60, 0x6b));
    body.setColorAt(1, QColor(0x2c, 0x30, 0x36));
    painter.setPen(QPen(QColor(0x22, 0x24, 0x28), 1));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(92.5, 34.5, 46, 16), 4, 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x7c, 0xd6, 0x5a));
    painter.drawEllipse(QRectF(130, 40, 4, 4));
}

void DrawCard(QPainter& painter, int frame)
{
    // The card moves down towards the reader during the first frames.
    const qreal drop = frame < 4 ? frame * 2.0 : 8.0;
    const QRectF card(96.5, 4.5 + drop, 38, 24);
    QLinearGradient face(card.topLeft(), card.bottomRight());
    face.setColorAt(0, QColor(0x4f, 0xa8, 0x4a));
    face.setColorAt(1, QColor(0x2d, 0x7a, 0x3a));
    painter.setPen(QPen(QColor(0x1d, 0x4d, 0x25), 1));
    painter.setBrush(face);
    painter.drawRoundedRect(card, 3, 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xe8, 0xc8, 0x5a));
    painter.drawRoundedRect(QRectF(card.left() + 5, card.top() + 7, 8, 7), 1.5, 1.5);
    painter.setBrush(QColor(255, 255, 255, 170));
    painter.drawRect(QRectF(card.left() + 17, card.top() + 16, 16, 2.5));
}

void DrawWaves(QPainter& painter, int frame)
{
    // Up to six arcs leave the reader towards the left; the last frames fade them.
    const int arcs = frame < 4 ? 0 : (frame < 10 ? frame - 3 : 6);
    const int alpha = frame < 10 ? 255 : 110;
    const QPointF centre(96, 30);
    for (int i = 0; i < arcs; ++i) {
        const qreal radius = 10 + i * 13;
        QColor colour(0x1e, 0x6f, 0xd9, alpha - i * 25);
        painter.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                        135 * 16, 90 * 16);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString folder = args.size() > 1 ? args.at(1) : QStringLiteral(".");
    QDir().mkpath(folder);
    for (int frame = 0; frame < kFrames; ++frame) {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        DrawWaves(painter, frame);
        DrawReader(painter);
        DrawCard(painter, frame);
        painter.end();
        const QString path = QDir(folder).filePath(QStringLiteral("wait%1.png").arg(frame, 2, 10, QLatin1Char('0')));
        if (!image.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
