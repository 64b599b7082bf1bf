// The modal card wait dialog: tries to read the card at once and then every half
// second until it is read, the polling time has run out (failure view) or the
// user cancels.
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
    bool TryRead();
    void ShowFailure();

    int Countdown() const { return m_countdown.Remaining(); }
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

    CCardReadAttempt& m_attempt;
    int m_nPollingTime;
    CPollingCountdown m_countdown;
    int m_nTimerID = 0;
    bool m_bEnded = false;
    QLabel* m_icon;
    QString m_strStatus;
    CCardWaitAnimation* m_anim;
    QString m_strMessage;
    QLabel* m_pStatus;
    QLabel* m_pMessage;
    QPushButton* m_pButton;
};
