#include "app/AboutDlg.h"

#include "resources/DialogUnits.h"
#include "resources/StringTable.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int kVersionLine = 1015;
constexpr int kTextA = 1016;
constexpr int kTextB = 1017;
constexpr int kTextC = 1243;
constexpr int kLink = 1019;
constexpr int kCredits = 1021;

} // namespace

CAboutDlg::CAboutDlg(const QString& stationDbVersion, QWidget* parent)
    : QDialog(parent)
    , m_strStationDbVersion(stationDbVersion)
{
    setWindowTitle(LoadResString(IDS_ABOUT_CAPTION));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setGeometry(DialogUnitRect(font(), 11, 13, 20, 20));
    icon->setPixmap(QPixmap(QStringLiteral(":/images/card.png")));
    icon->setAlignment(Qt::AlignCenter);

    AddText(0, LoadResString(IDS_ABOUT_SYSTEM_NAME), 40, 10, 100, 8);
    QLabel* versionLine = AddText(kVersionLine, VersionLine(), 40, 22, 188, 8);
    versionLine->setTextFormat(Qt::PlainText);
    AddText(kTextA, QString(), 40, 34, 100, 8);
    // The station data's version and date, on a line of its own below the box's own texts.
    QLabel* stationData = AddText(0, LoadResString(IDS_ABOUT_STATION_DATA).arg(m_strStationDbVersion), 40, 46, 188, 8);
    stationData->setObjectName(QStringLiteral("stationData"));
    stationData->setTextFormat(Qt::PlainText);
    AddText(kTextB, QString(), 115, 65, 113, 8)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    AddText(kTextC, QString(), 40, 65, 60, 8);

    auto* ok = new QPushButton(LoadResString(IDS_ABOUT_OK), this);
    ok->setGeometry(DialogUnitRect(font(), 178, 7, 50, 16));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    QLabel* link = AddText(kLink, LoadResString(IDS_ABOUT_LINK), 114, 59, 114, 10);
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    // A target the desktop cannot open is ignored.
    connect(link, &QLabel::linkActivated, this, [](const QString& target) { QDesktopServices::openUrl(QUrl(target)); });

    // Below the box's own texts: where the station data comes from, as its terms ask.
    QLabel* credits = AddText(kCredits, LoadResString(IDS_ABOUT_CREDITS), 11, 80, 217, 30);
    credits->setTextFormat(Qt::PlainText);
    credits->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    credits->setTextInteractionFlags(Qt::TextSelectableByMouse);
    credits->resize(credits->width(), std::max(credits->height(), credits->sizeHint().height()));

    setFixedSize(DialogUnitRect(font(), 0, 0, 235, 126).size().expandedTo(
        QSize(credits->geometry().right() + DialogUnitRect(font(), 0, 0, 7, 0).width(),
              credits->geometry().bottom() + DialogUnitRect(font(), 0, 0, 0, 7).height())));
    ok->setFocus();
}

void CAboutDlg::paintEvent(QPaintEvent* event)
{
    // The same light 3-D colour as the history form.
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Midlight));
}

QLabel* CAboutDlg::AddText(int controlId, const QString& text, int x, int y, int w, int h)
{
    auto* label = new QLabel(text, this);
    if (controlId != 0) {
        label->setObjectName(QStringLiteral("control%1").arg(controlId));
    }
    // Japanese glyphs are wider than the Latin average the units are built on.
    const QRect rect = DialogUnitRect(font(), x, y, w, h);
    label->setGeometry(rect.x(), rect.y(), std::max(rect.width(), label->sizeHint().width()), rect.height());
    return label;
}

QLabel* CAboutDlg::StationDataLabel() const
{
    return findChild<QLabel*>(QStringLiteral("stationData"));
}

QLabel* CAboutDlg::Control(int controlId) const
{
    return findChild<QLabel*>(QStringLiteral("control%1").arg(controlId));
}

QString CAboutDlg::FormatProductVersion(const QString& version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    if (version.isEmpty() || parts.size() > 4) {
        return {};
    }
    QStringList numbers;
    for (int i = 0; i < 4; ++i) {
        bool ok = true;
        const uint part = i < parts.size() ? parts.at(i).toUInt(&ok) : 0;
        if (!ok || part > 0xFFFF) {
            return {};
        }
        numbers.append(QString::number(part));
    }
    return numbers.join(QLatin1Char('.'));
}

QString CAboutDlg::VersionLine()
{
    return LoadResString(IDS_ABOUT_PRODUCT)
        + LoadResString(IDS_ABOUT_VERSION).arg(FormatProductVersion(QStringLiteral(VOLUNI_VERSION)));
}
