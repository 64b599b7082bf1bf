// voluni watch on the private pcscd with the virtual card (root): the time from the card
// laid to the archive holding its entries, beside voluni read of the same card, then the
// watcher's CPU time over an idle stretch and its resident size.
//   build/tests/bin/watch_bench [reads] [idle seconds]
#include "history/HistoryArchive.h"
#include "PrivatePcscd.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

const QString kVoluni = QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni");
const QString kImage = QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json");

int64_t ArchivedEntries(const QString& path)
{
    CHistoryArchive archive(path);
    std::vector<SArchivedCard> cards;
    if (!QFile::exists(path) || !archive.Cards(cards))
        return 0;
    int64_t entries = 0;
    for (const SArchivedCard& card : cards)
        entries += card.nEntries;
    return entries;
}

// utime + stime in clock ticks, and VmRSS in kB, of a process.
void ProcessUse(qint64 pid, long long& ticks, long long& residentKb)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    ticks = 0;
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        ticks = fields.value(11).toLongLong() + fields.value(12).toLongLong();
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    residentKb = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                residentKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int reads = argc > 1 ? std::atoi(argv[1]) : 5;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 30;
    if (const QString reason = CPrivatePcscd::WhyUnavailable(); !reason.isEmpty()) {
        std::fprintf(stderr, "watch_bench: %s\n", qPrintable(reason));
        return 1;
    }
    CPrivatePcscd::UsePrivateSocket();
    QTemporaryDir folder;
    setenv("VOLUNI_COMMON_FILES_DIR", folder.path().toLocal8Bit().constData(), 1);
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + folder.filePath(QStringLiteral("no-bus")).toLocal8Bit());
    CPrivatePcscd pcscd;
    if (const QString error = pcscd.Start(QStringLiteral("ACS ACR1251 CL Reader PICC")); !error.isEmpty()) {
        std::fprintf(stderr, "watch_bench: %s\n", qPrintable(error));
        return 1;
    }

    QProcess watch;
    for (int i = 0; i < reads; ++i) {
        const QString archive = folder.filePath(QStringLiteral("watched-%1.sqlite").arg(i));
        watch.start(kVoluni, {QStringLiteral("watch"), QStringLiteral("--archive"), archive});
        watch.waitForStarted();
        QThread::msleep(500);
        QElapsedTimer laid;
        laid.start();
        pcscd.InsertCard(kImage);
        const qint64 seen = laid.elapsed();
        while (ArchivedEntries(archive) == 0 && laid.elapsed() < 15000)
            QThread::msleep(5);
        const qint64 archived = laid.elapsed();
        pcscd.RemoveCard();

        // The same card by voluni read, laid first: process start, read and merge.
        pcscd.InsertCard(kImage);
        QElapsedTimer reading;
        reading.start();
        QProcess read;
        read.start(kVoluni, {QStringLiteral("read"), QStringLiteral("--polling-time"), QStringLiteral("2"),
                             QStringLiteral("--archive"), folder.filePath(QStringLiteral("read-%1.sqlite").arg(i))});
        read.waitForFinished(15000);
        std::printf("laid -> pcscd sees it %4lld ms, -> archive holds the entries %4lld ms; voluni read %4lld ms\n",
                    static_cast<long long>(seen), static_cast<long long>(archived),
                    static_cast<long long>(reading.elapsed()));
        pcscd.RemoveCard();
        if (i + 1 < reads) {
            watch.terminate();
            watch.waitForFinished();
        }
    }

    long long ticksBefore = 0;
    long long ticksAfter = 0;
    long long residentKb = 0;
    ProcessUse(watch.processId(), ticksBefore, residentKb);
    QThread::sleep(static_cast<unsigned long>(idleSeconds));
    ProcessUse(watch.processId(), ticksAfter, residentKb);
    const double cpuSeconds = static_cast<double>(ticksAfter - ticksBefore) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::printf("idle %d s: CPU %.2f s (%.3f %%), resident %lld kB\n", idleSeconds, cpuSeconds,
                100.0 * cpuSeconds / idleSeconds, residentKb);
    watch.terminate();
    watch.waitForFinished();
    return 0;
}
