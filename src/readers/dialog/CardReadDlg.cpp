#include "readers/dialog/CardReadDlg.h"

#include "resources/DialogUnits.h"
#include "readers/CardReadAttempt.h"
#include "readers/dialog/CardWaitAnimation.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTimerEvent>

#include <algorithm>

namespace {

constexpr int kCancelButton = 2;
constexpr int kIconSize = 32;

} // namespace

CCardReadDlg::CCardReadDlg(CCardReadAttempt& attempt, int nPollingTime, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_attempt(attempt)
    , m_nPollingTime(nPollingTime)
    , m_countdown(nPollingTime)
    , m_icon(new QLabel(this))
    , m_anim(new CCardWaitAnimation(this))
    , m_pStatus(new QLabel(this))
    , m_pMessage(new QLabel(this))
    , m_pButton(new QPushButton(LoadResString(IDS_CARDREAD_CANCEL), this))
{
    setWindowTitle(LoadResString(AFX_IDS_APP_TITLE));
    // The light 3-D colour behind the dialog and its static texts, which draw transparently.
    QPalette look = palette();
    look.setColor(QPalette::Window, look.color(QPalette::Midlight));
    setPalette(look);
    setAutoFillBackground(true);

    setFixedSize(DialogUnitRect(font(), 0, 0, 170, 80).size());
    m_pButton->setGeometry(DialogUnitRect(font(), 113, 59, 50, 14));
    m_anim->setGeometry(DialogUnitRect(font(), 7, 3, 156, 36));
    m_pMessage->setGeometry(DialogUnitRect(font(), 40, 11, 120, 42));
    m_pMessage->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_pMessage->setWordWrap(true);
    m_icon->setGeometry(DialogUnitRect(font(), 12, 13, 21, 20));
    m_icon->setAlignment(Qt::AlignCenter);
    m_pStatus->setGeometry(DialogUnitRect(font(), 7, 43, 156, 8));
    m_pStatus->setAlignment(Qt::AlignCenter);
    m_pButton->setObjectName(QStringLiteral("button%1").arg(kCancelButton));
    m_pButton->setDefault(true);
    connect(m_pButton, &QPushButton::clicked, this, &QDialog::reject);
}

CCardReadDlg::~CCardReadDlg()
{
    KillTimer();
}

CardWaitFunction CCardReadDlg::WaitFunction(QWidget* parent)
{
    return [parent](CCardReadAttempt& attempt, int nPollingTime) {
        CCardReadDlg dialog(attempt, nPollingTime, parent);
        return dialog.DoModal() == QDialog::Accepted;
    };
}

int CCardReadDlg::DoModal()
{
    m_bEnded = false;
    OnInitDialog();
    if (m_bEnded)
        return result();
    return exec();
}

bool CCardReadDlg::OnInitDialog()
{
    m_icon->hide();
    m_pMessage->hide();
    m_anim->show();
    m_anim->Play();

    m_strStatus = LoadResString(IDS_CARD_DETECTING);
    UpdateData();

    if (TryRead()) {
        done(QDialog::Accepted);
        return true;
    }
    if (m_nPollingTime <= 0) {
        ShowFailure();
    } else {
        m_countdown = CPollingCountdown(m_nPollingTime);
        m_nTimerID = startTimer(kTimerMs);
        m_strStatus = LoadResString(IDS_CARD_DETECTING);
        UpdateData();
    }
    return true;
}

void CCardReadDlg::OnTimer()
{
    if (!m_countdown.Tick()) {
        KillTimer();
        ShowFailure();
        return;
    }
    if (TryRead()) {
        KillTimer();
        done(QDialog::Accepted);
    }
}

bool CCardReadDlg::TryRead()
{
    return m_attempt.TryRead([this] {
        m_strStatus = LoadResString(IDS_CARD_READING);
        UpdateData();
        // The block read blocks the event loop: show the new status before it.
        m_pStatus->repaint();
    });
}

void CCardReadDlg::ShowFailure()
{
    m_anim->Stop();
    m_icon->show();
    m_pMessage->show();
    m_anim->hide();
    m_icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this).pixmap(kIconSize));
    m_strMessage = LoadResString(IDS_CARD_READ_FAILED);
    m_strStatus.clear();
    m_pButton->setText(LoadResString(IDS_CARDREAD_OK));
    QApplication::beep();
    UpdateData();
}

QString CCardReadDlg::StatusText() const
{
    return m_pStatus->text();
}

QString CCardReadDlg::MessageText() const
{
    return m_pMessage->text();
}

void CCardReadDlg::done(int result)
{
    // Every way out (read, button, Escape, closing) stops the countdown first.
    KillTimer();
    m_anim->Stop();
    m_bEnded = true;
    QDialog::done(result);
}

void CCardReadDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_nTimerID)
        OnTimer();
    else
        QDialog::timerEvent(event);
}

void CCardReadDlg::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    // A thin border stands in for the missing title bar.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CCardReadDlg::KillTimer()
{
    if (m_nTimerID != 0) {
        killTimer(m_nTimerID);
        m_nTimerID = 0;
    }
}

void CCardReadDlg::UpdateData()
{
    m_pStatus->setText(m_strStatus);
    m_pMessage->setText(m_strMessage);
}
