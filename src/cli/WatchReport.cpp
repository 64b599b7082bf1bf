#include "cli/WatchReport.h"

#include "card/FormatAmount.h"
#include "cli/DesktopNotification.h"
#include "resources/StringTable.h"

#include <QIODevice>
#include <QStringList>


namespace {

// An identical failure is told again after this long, so that a person who comes back to
// the desk still learns that the watcher cannot read.
constexpr qint64 kRepeatAfterMs = 10 * 60 * 1000;

} // namespace

QString SavedText(const SWatchSaved& saved)
{
    QStringList lines{LoadResString(IDS_WATCH_SAVED).arg(saved.nSaved)};
    if (saved.nBalance >= 0)
        lines << LoadResString(IDS_WATCH_BALANCE).arg(FormatYen(saved.nBalance).trimmed());
    if (!saved.strGaps.isEmpty())
        lines << saved.strGaps;
    if (saved.readBy)
        lines << LoadResString(IDS_READ_BY).arg(saved.readBy->toString(QStringLiteral("yyyy/MM/dd")));
    return lines.join(u'\n');
}

CWatchReport::CWatchReport(QIODevice& standardOutput, QIODevice& standardError, bool quiet)
    : m_output(standardOutput)
    , m_errors(standardError)
    , m_bQuiet(quiet)
{
}

void CWatchReport::Saved(const SWatchSaved& saved)
{
    Recovered();
    if (!m_bQuiet)
        Tell(SavedText(saved), m_output);
    else if (!saved.strGaps.isEmpty())
        Tell(saved.strGaps, m_output);
}

void CWatchReport::Failure(const QString& text)
{
    if (text == m_strLastFailure && m_sinceFailure.isValid() && !m_sinceFailure.hasExpired(kRepeatAfterMs))
        return;
    m_strLastFailure = text;
    m_sinceFailure.start();
    Tell(text, m_errors, QStringLiteral("voluni: "));
}

void CWatchReport::Tell(const QString& text, QIODevice& output, const QString& prefix)
{
    const qsizetype firstBreak = text.indexOf(u'\n');
    const QString summary = firstBreak < 0 ? text : text.left(firstBreak);
    const QString body = firstBreak < 0 ? QString() : text.mid(firstBreak + 1);
    if (SendDesktopNotification(summary, body))
        return;
    output.write((prefix + text + u'\n').toUtf8());
}
