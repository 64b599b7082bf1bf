// The modal card wait dialog: tries to read the card at once and then every half
// second until it is read, the polling time has run out (failure view) or the
// user cancels. Each attempt runs on a thread of its own while the dialog's
// events go on, so the window repaints and the cancel button answers during an
// exchange that takes long; a tick that comes meanwhile only counts down.
#pragma once

#include "readers/CardReadAttempt.h"

#include <QDialog>
#include <QString>

class CCardWaitAnimation;
class QLabel;
class QPushButton;

class CCardReadDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTimerMs = CPollingCountdown::kTickMs;
    // An attempt in the initialisation that takes longer than this shows the dialog, so
    // that it can be cancelled; a card already there is read before the dialog shows.
    static constexpr int kShowDuringFirstAttemptMs = 500;

    CCardReadDlg(CCardReadAttempt& attempt, int nPollingTime, QWidget* parent = nullptr);
    ~CCardReadDlg() override;

    // The wait of a card read: the dialog run modally, true when it ended with
    // the card read.
    static CardWaitFunction WaitFunction(QWidget* parent);

    // The initialisation first (a card already there ends the dialog before it
    // is shown), then the modal loop. Accepted after a successful read.
    int DoModal();

    bool OnInitDialog();
    // One half-second tick of the countdown.
    void OnTimer();
    // One attempt, returning once it ended; the dialog's events go on meanwhile.
    bool TryRead();
    void ShowFailure();
    // The service was still gone when the wait ended: no failure view, since the card
    // read command names the stopped service.
    bool EndedForLostService() const { return m_bServiceLost; }

    int Countdown() const { return m_countdown.Remaining(); }
    // The clock the polling time is measured with, set before the dialog starts.
    void SetClock(WaitClock clock) { m_clock = std::move(clock); }
    bool IsTimerRunning() const { return m_nTimerID != 0; }
    QString StatusText() const;
    QString MessageText() const;
    QPushButton* Button() const { return m_pButton; }
    QLabel* IconLabel() const { return m_icon; }
    CCardWaitAnimation* Animation() const { return m_anim; }

public slots:
    void done(int result) override;

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void KillTimer();
    // Pushes the texts to the controls.
    void UpdateData();
    // The wait ends without a card: the failure view, or the end for a lost service.
    void EndWithoutCard();

    CCardReadAttempt& m_attempt;
    int m_nPollingTime;
    WaitClock m_clock;
    CPollingCountdown m_countdown;
    int m_nTimerID = 0;
    bool m_bEnded = false;
    bool m_bAttempting = false;
    bool m_bTimeRanOut = false; // during an attempt; that attempt has the last word
    bool m_bServiceLost = false;
    QLabel* m_icon;
    QString m_strStatus;
    CCardWaitAnimation* m_anim;
    QString m_strMessage;
    QLabel* m_pStatus;
    QLabel* m_pMessage;
    QPushButton* m_pButton;
};
