#include "readers/dialog/CardReadDlg.h"

#include "resources/DialogUnits.h"
#include "readers/CardReadAttempt.h"
#include "readers/dialog/CardWaitAnimation.h"
#include "resources/StringTable.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTimerEvent>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

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
    m_attempt.SetTimeUp({});
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

    // The polling time counts from the first attempt.
    m_countdown = CPollingCountdown(m_nPollingTime, m_clock);
    m_attempt.SetTimeUp([this] { return m_countdown.TimeIsUp(); });
    const bool read = TryRead();
    if (m_bEnded)
        return true; // cancelled while the first attempt ran
    if (read) {
        done(QDialog::Accepted);
        return true;
    }
    if (m_nPollingTime <= 0 || m_attempt.Fault() == EReaderFault::TimedOut || m_countdown.TimeIsUp()) {
        EndWithoutCard();
    } else {
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
        if (m_bAttempting)
            m_bTimeRanOut = true;
        else
            EndWithoutCard();
        return;
    }
    if (m_bAttempting)
        return;
    const bool read = TryRead();
    if (m_bEnded)
        return;
    if (read) {
        KillTimer();
        done(QDialog::Accepted);
    } else if (m_bTimeRanOut || m_attempt.Fault() == EReaderFault::TimedOut || m_countdown.TimeIsUp()) {
        // A reader past its deadline is given up, and an attempt that ran past the polling
        // time was the last: the read ends here as a failed one.
        KillTimer();
        EndWithoutCard();
    }
}

bool CCardReadDlg::TryRead()
{
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    bool read = false;
    std::atomic<bool> reading = false;
    QAbstractEventDispatcher* events = QAbstractEventDispatcher::instance();
    const auto wakeUp = [events] {
        if (events)
            events->wakeUp();
    };
    auto showReading = [this, &reading, shown = false]() mutable {
        if (!reading || shown)
            return;
        shown = true;
        m_strStatus = LoadResString(IDS_CARD_READING);
        UpdateData();
        m_pStatus->repaint();
    };

    m_bAttempting = true;
    std::thread worker([&] {
        const bool result = m_attempt.TryRead([&] {
            reading = true;
            wakeUp();
        });
        {
            const std::lock_guard lock(mutex);
            read = result;
            finished = true;
        }
        ended.notify_all();
        wakeUp();
    });
    // Before the dialog shows, nothing else happens in the meantime (a card already there
    // is read as it was); an attempt that takes long shows the dialog, whose events go on
    // from then.
    if (!isVisible()) {
        std::unique_lock lock(mutex);
        if (!ended.wait_for(lock, std::chrono::milliseconds(kShowDuringFirstAttemptMs), [&] { return finished; })) {
            lock.unlock();
            setWindowModality(Qt::ApplicationModal);
            show();
        }
    }
    for (;;) {
        {
            const std::lock_guard lock(mutex);
            if (finished)
                break;
        }
        showReading();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    worker.join();
    showReading();
    m_bAttempting = false;
    return read;
}

void CCardReadDlg::EndWithoutCard()
{
    if (m_attempt.Fault() == EReaderFault::ServiceLost) {
        m_bServiceLost = true;
        done(QDialog::Rejected);
        return;
    }
    ShowFailure();
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
    // Every way out (read, button, Escape, closing) stops the countdown first, and an
    // attempt still at work, so that nothing reads on once the wait has ended.
    KillTimer();
    m_anim->Stop();
    if (!m_bServiceLost)
        m_attempt.Cancel();
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
