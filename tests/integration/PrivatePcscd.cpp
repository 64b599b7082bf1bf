#include "PrivatePcscd.h"

#include <PCSC/winscard.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kVpcdDriver = "/usr/lib/pcsc/drivers/serial/libifdvpcd.so";
constexpr int kStartTimeoutMs = 10000;
constexpr int kStartAttempts = 3;

// Children die with the test process, even when it is killed mid-test.
void DieWithParent()
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

// vpcd serves two slots, on its port and the next one: both must be free.
quint16 FreePortPair()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QTcpServer first;
        if (!first.listen(QHostAddress::Any, 0) || first.serverPort() == 65535)
            continue;
        QTcpServer second;
        if (second.listen(QHostAddress::Any, static_cast<quint16>(first.serverPort() + 1)))
            return first.serverPort();
    }
    return 0;
}

bool WaitFor(const std::function<bool()>& ready, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!ready()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

// A card connection to the reader works: pcscd has seen the card.
bool CardPresent(const QString& readerName)
{
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
        return false;
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    const LONG rc = SCardConnect(context, readerName.toUtf8().constData(), SCARD_SHARE_SHARED,
                                 SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol);
    if (rc == SCARD_S_SUCCESS)
        SCardDisconnect(card, SCARD_LEAVE_CARD);
    SCardReleaseContext(context);
    return rc == SCARD_S_SUCCESS;
}

} // namespace

static void PrepareChild(QProcess& process)
{
    process.setChildProcessModifier(DieWithParent);
    process.setProcessChannelMode(QProcess::MergedChannels);
}

CPrivatePcscd::CPrivatePcscd()
{
    PrepareChild(m_pcscd);
}

CPrivatePcscd::~CPrivatePcscd()
{
    Stop();
}

QString CPrivatePcscd::SocketFolder()
{
    static QTemporaryDir folder;
    return folder.path();
}

QString CPrivatePcscd::WhyUnavailable()
{
    static const QString reason = [] {
        if (geteuid() != 0)
            return QStringLiteral("needs root: pcscd must get a private /run/pcscd by a bind mount");
        const QStringList systemFolders = {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")};
        for (const char* program : {"pcscd", "unshare", "mount"}) {
            const QString name = QLatin1String(program);
            if (QStandardPaths::findExecutable(name).isEmpty()
                && QStandardPaths::findExecutable(name, systemFolders).isEmpty())
                return QStringLiteral("%1 is not installed").arg(name);
        }
        if (!QFileInfo::exists(QLatin1String(kVpcdDriver)))
            return QStringLiteral("the vpcd driver (package vsmartcard-vpcd) is not installed");
        QProcess probe;
        probe.setProcessChannelMode(QProcess::MergedChannels);
        probe.start(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("--propagation"),
                                                QStringLiteral("private"), QStringLiteral("true")});
        if (!probe.waitForFinished(kStartTimeoutMs) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            return QStringLiteral("unshare refused a private mount namespace: %1")
                .arg(QString::fromLocal8Bit(probe.readAll()).trimmed());
        return QString();
    }();
    return reason;
}

bool CPrivatePcscd::Required()
{
    return qEnvironmentVariable("VOLUNI_REQUIRE_INTEGRATION") == QLatin1String("1");
}

void CPrivatePcscd::UsePrivateSocket()
{
    const QString socket = QDir(SocketFolder()).filePath(QStringLiteral("pcscd.comm"));
    setenv("PCSCLITE_CSOCK_NAME", socket.toLocal8Bit().constData(), 1);
}

QString CPrivatePcscd::Start(const QStringList& friendlyNames)
{
    // The ports are free when chosen but let go before vpcd binds them: another test that
    // runs meanwhile may take one, and then the reader never comes. New ports are tried.
    QString error;
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        error = StartOnFreePorts(friendlyNames);
        if (error.isEmpty())
            return error;
        Stop();
    }
    return error;
}

QString CPrivatePcscd::StartOnFreePorts(const QStringList& friendlyNames)
{
    Stop();
    m_strLog.clear();
    m_friendlyNames = friendlyNames;
    m_ports.clear();
    m_cards.clear();

    const QDir folder(SocketFolder());
    QFile::remove(folder.filePath(QStringLiteral("pcscd.comm")));
    // pcscd gets an empty driver folder, so no reader plugged into this machine joins
    // the test; the vpcd driver is loaded from a copy by its path.
    if (!folder.mkpath(QStringLiteral("drivers")))
        return QStringLiteral("cannot prepare the driver folder in %1").arg(folder.path());
    m_strConfigPath = folder.filePath(QStringLiteral("reader.conf"));
    QFile config(m_strConfigPath);
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("%1: %2").arg(m_strConfigPath, config.errorString());
    for (const QString& friendlyName : friendlyNames) {
        // Each reader's two slots take a port each; the pairs must not meet.
        quint16 port = 0;
        for (int attempt = 0; attempt < 50 && port == 0; ++attempt) {
            port = FreePortPair();
            for (const quint16 taken : m_ports) {
                if (port && port + 1 >= taken && port <= taken + 1)
                    port = 0;
            }
        }
        if (port == 0)
            return QStringLiteral("no two free neighbouring TCP ports");
        m_ports.push_back(port);
        // A copy of the driver per reader: the driver keeps its port per loaded library.
        const QString driver = folder.filePath(m_ports.size() == 1 ? QStringLiteral("libifdvpcd.so")
                                                                   : QStringLiteral("libifdvpcd-%1.so").arg(m_ports.size()));
        if (!QFileInfo::exists(driver) && !QFile::copy(QLatin1String(kVpcdDriver), driver))
            return QStringLiteral("cannot copy the vpcd driver to %1").arg(driver);
        auto card = std::make_unique<QProcess>();
        PrepareChild(*card);
        m_cards.push_back(std::move(card));
        config.write(QStringLiteral("FRIENDLYNAME \"%1\"\nDEVICENAME /dev/null:%2\nLIBPATH %3\n\n")
                         .arg(friendlyName)
                         .arg(port)
                         .arg(driver)
                         .toUtf8());
    }
    config.close();
    return StartDaemon();
}

QString CPrivatePcscd::StartDaemon()
{
    const QDir folder(SocketFolder());
    QFile::remove(folder.filePath(QStringLiteral("pcscd.comm")));
    // The bind mounts live only in pcscd's own namespace and die with it.
    m_pcscd.start(QStringLiteral("unshare"),
                  {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                   QStringLiteral("sh"), QStringLiteral("-c"),
                   QStringLiteral("mkdir -p /run/pcscd && mount --bind \"$0\" /run/pcscd && "
                                  "mount --bind \"$0/drivers\" /usr/lib/pcsc/drivers && exec pcscd -f -c \"$1\""),
                   folder.path(), m_strConfigPath});
    if (!m_pcscd.waitForStarted(kStartTimeoutMs))
        return QStringLiteral("cannot start pcscd: %1").arg(m_pcscd.errorString());
    const QString socket = folder.filePath(QStringLiteral("pcscd.comm"));
    if (!WaitFor([&] { return QFileInfo::exists(socket) || m_pcscd.state() == QProcess::NotRunning; },
                 kStartTimeoutMs) ||
        m_pcscd.state() == QProcess::NotRunning)
        return QStringLiteral("pcscd did not come up: %1").arg(Log());
    // Every reader listed before the test begins.
    if (!WaitFor([&] { return !ReaderName(static_cast<int>(m_friendlyNames.size()) - 1).isEmpty(); }, kStartTimeoutMs))
        return QStringLiteral("pcscd did not list every reader: %1").arg(Log());
    return QString();
}

void CPrivatePcscd::StopDaemon()
{
    m_strLog += QString::fromLocal8Bit(m_pcscd.readAll());
    StopProcess(m_pcscd);
}

QString CPrivatePcscd::Restart()
{
    StopDaemon();
    // The cards lose their driver with it; they are laid again by the caller.
    for (const auto& card : m_cards)
        StopProcess(*card);
    return StartDaemon();
}

QString CPrivatePcscd::Restart(const QStringList& friendlyNames)
{
    Stop();
    return Start(friendlyNames);
}

QString CPrivatePcscd::RemoveCard(int reader)
{
    if (reader < 0 || static_cast<size_t>(reader) >= m_cards.size())
        return QStringLiteral("no reader %1").arg(reader);
    StopProcess(*m_cards[static_cast<size_t>(reader)]);
    const QString name = ReaderName(reader);
    if (!WaitFor([&] { return !CardPresent(name); }, kStartTimeoutMs))
        return QStringLiteral("pcscd still sees the card on \"%1\"").arg(name);
    return QString();
}

QString CPrivatePcscd::InsertCard(const QString& imagePath, int reader, const QStringList& cardOptions)
{
    if (reader < 0 || static_cast<size_t>(reader) >= m_cards.size())
        return QStringLiteral("no reader %1").arg(reader);
    QProcess& card = *m_cards[static_cast<size_t>(reader)];
    StopProcess(card);
    card.start(QStringLiteral(VOLUNI_VCARD),
               QStringList{QStringLiteral("--port"), QString::number(m_ports[static_cast<size_t>(reader)]), imagePath}
                   + cardOptions);
    if (!card.waitForStarted(kStartTimeoutMs))
        return QStringLiteral("cannot start the virtual card: %1").arg(card.errorString());
    const QString name = ReaderName(reader);
    if (!WaitFor([&] { return CardPresent(name) || card.state() == QProcess::NotRunning; }, kStartTimeoutMs) ||
        card.state() == QProcess::NotRunning)
        return QStringLiteral("pcscd did not see the card on \"%1\": %2 %3")
            .arg(name, QString::fromLocal8Bit(card.readAll()), Log());
    return QString();
}

QString CPrivatePcscd::ReaderName(int reader) const
{
    if (reader < 0 || reader >= m_friendlyNames.size())
        return QString();
    // pcscd numbers readers itself: the first one listed under this friendly name.
    const QString prefix = m_friendlyNames.at(reader) + QLatin1Char(' ');
    SCARDCONTEXT context = 0;
    if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
        return QString();
    QString name;
    char list[4096] = {};
    DWORD length = sizeof list;
    if (SCardListReaders(context, nullptr, list, &length) == SCARD_S_SUCCESS) {
        for (const char* entry = list; *entry && name.isEmpty(); entry += std::strlen(entry) + 1) {
            const QString candidate = QString::fromUtf8(entry);
            if (candidate.startsWith(prefix) && candidate.size() == prefix.size() + 5)
                name = candidate;
        }
    }
    SCardReleaseContext(context);
    return name;
}

void CPrivatePcscd::Stop()
{
    for (const auto& card : m_cards)
        StopProcess(*card);
    StopProcess(m_pcscd);
}

QString CPrivatePcscd::CardOutput(int reader)
{
    if (reader < 0 || static_cast<size_t>(reader) >= m_cards.size())
        return QString();
    QProcess& card = *m_cards[static_cast<size_t>(reader)];
    card.waitForReadyRead(100);
    return QString::fromLocal8Bit(card.readAll());
}

QString CPrivatePcscd::Log()
{
    m_strLog += QString::fromLocal8Bit(m_pcscd.readAll());
    return m_strLog;
}

void CPrivatePcscd::StopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}
