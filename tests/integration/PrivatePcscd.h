// A pcscd of the test's own with one vpcd reader under a chosen name, and the virtual
// card program laid on it. pcscd runs in a private mount namespace with a private folder
// over /run/pcscd (Debian's pcscd ignores PCSCLITE_CSOCK_NAME), so a system pcscd is
// never touched; the client library of this process is pointed at that folder instead.
#pragma once

#include <QProcess>
#include <QString>

#include <QStringList>

#include <memory>
#include <vector>

// Skips the test where a private pcscd cannot run; where VOLUNI_REQUIRE_INTEGRATION=1 (as in
// CI) says the integration tests must run, that is a failure instead.
#define SKIP_WITHOUT_PRIVATE_PCSCD()                                                        \
    if (const QString reason = CPrivatePcscd::WhyUnavailable(); !reason.isEmpty()) {         \
        if (CPrivatePcscd::Required())                                                      \
            GTEST_FAIL() << "required, but cannot run: " << reason.toStdString();           \
        else                                                                                \
            GTEST_SKIP() << reason.toStdString();                                           \
    }

class CPrivatePcscd {
public:
    CPrivatePcscd();
    ~CPrivatePcscd();
    CPrivatePcscd(const CPrivatePcscd&) = delete;
    CPrivatePcscd& operator=(const CPrivatePcscd&) = delete;

    // Empty when a private pcscd can run here; otherwise the reason it cannot.
    static QString WhyUnavailable();
    // VOLUNI_REQUIRE_INTEGRATION=1: a test that cannot run fails.
    static bool Required();
    // Points this process's PC/SC client at the private socket; must come before
    // the first PC/SC call of the process, because the client keeps the first name.
    static void UsePrivateSocket();

    // Starts pcscd with one virtual reader named friendlyName, on free ports.
    // Empty result: running; otherwise what went wrong.
    QString Start(const QString& friendlyName) { return Start(QStringList{friendlyName}); }
    // The same with one virtual reader per name, listed by pcscd in this order.
    QString Start(const QStringList& friendlyNames);
    // Lays the card of the image on the first reader and waits until pcscd sees it.
    QString InsertCard(const QString& imagePath) { return InsertCard(imagePath, 0, {}); }
    // The same on reader `reader`, with more options for the virtual card program.
    QString InsertCard(const QString& imagePath, int reader, const QStringList& cardOptions);
    // Lifts the card off reader `reader` and waits until pcscd sees it gone.
    QString RemoveCard(int reader = 0);
    // Stops the card and pcscd, whatever state they are in.
    void Stop();
    // Stops pcscd alone, as an administrator stopping the service would.
    void StopDaemon();
    // pcscd stopped and started again with the same readers and ports; the cards are
    // taken away with it.
    QString Restart();
    // pcscd stopped and started again offering friendlyNames instead: readers come and go.
    QString Restart(const QStringList& friendlyNames);

    // The name pcscd gives the first reader's first slot.
    QString ReaderName() const { return ReaderName(0); }
    QString ReaderName(int reader) const;
    // pcscd's log, to show when something failed.
    QString Log();
    // What the virtual card program on reader `reader` has printed so far.
    QString CardOutput(int reader);

private:
    static QString SocketFolder();
    QString StartOnFreePorts(const QStringList& friendlyNames);
    QString StartDaemon();
    void StopProcess(QProcess& process);

    QStringList m_friendlyNames;
    std::vector<quint16> m_ports;
    QProcess m_pcscd;
    std::vector<std::unique_ptr<QProcess>> m_cards;
    QString m_strConfigPath;
    QString m_strLog;
};
