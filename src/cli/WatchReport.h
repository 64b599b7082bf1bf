// What the card watcher tells the person: each saved read and each failure, on the
// desktop, or on standard output and standard error where there is no notification service.
#pragma once

#include <QDate>
#include <QElapsedTimer>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

class QIODevice;

// A read merged into the archive, as the watcher tells of it.
struct SWatchSaved {
    size_t nSaved = 0;              // records new to the archive
    int32_t nBalance = -1;          // -1: not known
    QString strGaps;                // the gap sentences; empty without
    std::optional<QDate> readBy;    // when to read the card again at the latest
};

class CWatchReport {
public:
    // quiet: only gaps and failures are told. Without a notification service, reads go to
    // standardOutput and failures to standardError.
    CWatchReport(QIODevice& standardOutput, QIODevice& standardError, bool quiet);

    void Saved(const SWatchSaved& saved);
    // Told once: the same failure again is kept quiet until something succeeded or a
    // while has passed.
    void Failure(const QString& text);
    // Something worked again: the next failure is told whatever it is.
    void Recovered() { m_strLastFailure.clear(); }

private:
    // On the desktop when it has a notification service; else the line on output.
    void Tell(const QString& text, QIODevice& output, const QString& prefix = QString());

    QIODevice& m_output;
    QIODevice& m_errors;
    bool m_bQuiet;
    QString m_strLastFailure;
    QElapsedTimer m_sinceFailure;
};

// The text of a saved read: the count, the balance, the gaps and the read-by date, a line each.
QString SavedText(const SWatchSaved& saved);
