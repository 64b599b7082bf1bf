// A pcscd of the test's own with one vpcd reader under a chosen name, and the virtual
// card program laid on it. pcscd runs in a private mount namespace with a private folder
// over /run/pcscd (Debian's pcscd ignores PCSCLITE_CSOCK_NAME), so a system pcscd is
// never touched; the client library of this process is pointed at that folder instead.
#pragma once

#include <QProcess>
#include <QString>

#include <memory>

class CPrivatePcscd {
public:
    CPrivatePcscd();
    ~CPrivatePcscd();
    CPrivatePcscd(const CPrivatePcscd&) = delete;
    CPrivatePcscd& operator=(const CPrivatePcscd&) = delete;

    // Empty when a private pcscd can run here; otherwise the reason it cannot.
    static QString WhyUnavailable();
    // Points this process's PC/SC client at the private socket; must come before
    // the first PC/SC call of the process, because the client keeps the first name.
    static void UsePrivateSocket();

    // Starts pcscd with one virtual reader named friendlyName, on free ports.
    // Empty result: running; otherwise what went wrong.
    QString Start(const QString& friendlyName);
    // Lays the card of the image on the reader and waits until pcscd sees it.
    QString InsertCard(const QString& imagePath);
    // Stops the card and pcscd, whatever state they are in.
    void Stop();

    // The name pcscd gives the reader's first slot.
    QString ReaderName() const { return m_strFriendlyName + QStringLiteral(" 00 00"); }
    // pcscd's log, to show when something failed.
    QString Log();

private:
    static QString SocketFolder();
    void StopProcess(QProcess& process);

    QString m_strFriendlyName;
    quint16 m_nPort = 0;
    QProcess m_pcscd;
    QProcess m_card;
    QString m_strConfigPath;
    QString m_strLog;
};
