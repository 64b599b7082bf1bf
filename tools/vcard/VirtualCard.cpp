// voluni-vcard: a FeliCa card from a card image, laid on the virtual reader of pcscd's
// vpcd driver. The driver listens on the port of its reader configuration
// (DEVICENAME /dev/null:<port>); this program connects to it and answers. Every message
// either way is a 2-byte big-endian length and that many bytes; one-byte messages from
// the driver are control codes, longer ones APDUs. For tests the card can fail the way
// a card on a real reader does, once it has handed out a number of history blocks: it
// is lifted (its connection closed, and laid again later if asked), it stops answering,
// or it answers with an empty message.
#include "readers/sim/CardImage.h"
#include "readers/sim/SimulatedCard.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QThread>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

enum EControl : uint8_t { kPowerOff = 0, kPowerOn = 1, kReset = 2, kGetAtr = 4 };

int Connect(const QString& host, quint16 port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* addresses = nullptr;
    const QByteArray service = QByteArray::number(port);
    if (getaddrinfo(host.toLocal8Bit().constData(), service.constData(), &hints, &addresses) != 0)
        return -1;
    int fd = -1;
    for (addrinfo* address = addresses; address && fd < 0; address = address->ai_next) {
        fd = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (fd >= 0 && connect(fd, address->ai_addr, address->ai_addrlen) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(addresses);
    return fd;
}

// Delayed ACKs would hold every answer of the driver's strict request/answer turns
// for ~40 ms; QUICKACK falls back after a while, so it is set again before each read.
bool ReadExactly(int fd, uint8_t* buffer, size_t length)
{
    size_t done = 0;
    while (done < length) {
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        const ssize_t n = recv(fd, buffer + done, length - done, 0);
        if (n == 0)
            return false;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool WriteMessage(int fd, const std::vector<uint8_t>& message)
{
    std::vector<uint8_t> frame{static_cast<uint8_t>(message.size() >> 8),
                               static_cast<uint8_t>(message.size() & 0xFF)};
    frame.insert(frame.end(), message.begin(), message.end());
    size_t done = 0;
    while (done < frame.size()) {
        const ssize_t n = send(fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

constexpr uint16_t kHistoryService = 0x090F;

// The card of the image, counting the history blocks it hands out (not the gate log's).
class CCountingCard : public CSimulatedCard {
public:
    using CSimulatedCard::CSimulatedCard;
    size_t BlocksRead() const { return m_nBlocksRead; }

protected:
    SBlockAnswer ReadBlock(uint16_t serviceCode, uint8_t block) const override
    {
        SBlockAnswer answer = CSimulatedCard::ReadBlock(serviceCode, block);
        if (!answer.data.empty() && serviceCode == kHistoryService)
            ++m_nBlocksRead;
        return answer;
    }

private:
    mutable size_t m_nBlocksRead = 0;
};

enum class EFault { None, Close, Stall, Empty };

// What meets the first command that comes after afterBlocks blocks were handed out.
struct SFaultPlan {
    EFault fault = EFault::None;
    size_t afterBlocks = 0;
};

enum class EServed { DriverHungUp, CardClosed };

// Serves the driver until it hangs up, or until the fault closes the card's side.
EServed Serve(int fd, CCountingCard& card, const SFaultPlan& plan)
{
    std::vector<uint8_t> message;
    bool faultTold = false;
    for (;;) {
        uint8_t header[2];
        if (!ReadExactly(fd, header, sizeof header))
            return EServed::DriverHungUp;
        message.resize(static_cast<size_t>(header[0] << 8 | header[1]));
        if (!ReadExactly(fd, message.data(), message.size()))
            return EServed::DriverHungUp;
        const bool faulty = plan.fault != EFault::None && card.BlocksRead() >= plan.afterBlocks;
        if (faulty && !faultTold) {
            // Whoever drives the card can tell the fault was met, and when.
            std::fprintf(stderr, "voluni-vcard: fault after %zu blocks\n", card.BlocksRead());
            std::fflush(stderr);
            faultTold = true;
        }
        if (faulty && plan.fault == EFault::Close)
            return EServed::CardClosed;
        if (faulty && plan.fault == EFault::Stall)
            continue; // heard, never answered
        if (message.size() == 1) {
            // Power and reset need no answer; the driver only waits for the ATR.
            if (message[0] == kGetAtr && !WriteMessage(fd, card.Atr()))
                return EServed::DriverHungUp;
        } else if (!message.empty()) {
            if (!WriteMessage(fd, faulty ? std::vector<uint8_t>() : card.Transmit(message)))
                return EServed::DriverHungUp;
        }
    }
}

// Tries to reach the driver for tries tenths of a second; -1 when it never listened.
int ConnectToDriver(const QString& host, quint16 port, int tries)
{
    int fd = -1;
    for (int i = 0; i < tries && fd < 0; ++i) {
        fd = Connect(host, port);
        if (fd < 0)
            QThread::msleep(100);
    }
    if (fd >= 0) {
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return fd;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("voluni-vcard"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lays a FeliCa card from a card image on the virtual reader of pcscd's vpcd driver."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("image"), QStringLiteral("card image (JSON)"));
    const QCommandLineOption hostOption(QStringLiteral("host"), QStringLiteral("driver host"),
                                        QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    // vpcd's own default port, the one of the reader configuration the package installs.
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("driver port"),
                                        QStringLiteral("port"), QStringLiteral("35963"));
    const QCommandLineOption waitOption(
        QStringLiteral("wait"), QStringLiteral("seconds to keep trying while the driver is not listening yet"),
        QStringLiteral("seconds"), QStringLiteral("10"));
    const QCommandLineOption blocksOption(
        QStringLiteral("blocks-per-read"), QStringLiteral("blocks the card reads in one command at most"),
        QStringLiteral("count"));
    const QCommandLineOption getResponseOption(
        QStringLiteral("pn532-get-response"), QStringLiteral("answer PN532 commands with 61 nn for GET RESPONSE"));
    const QCommandLineOption faultOption(
        QStringLiteral("fault"),
        QStringLiteral("fail once --fault-after-blocks blocks were read: close (lift the card), stall (stop "
                       "answering) or empty (answer with an empty message)"),
        QStringLiteral("kind"));
    const QCommandLineOption afterBlocksOption(QStringLiteral("fault-after-blocks"),
                                               QStringLiteral("history blocks handed out before the fault (default 0)"),
                                               QStringLiteral("count"), QStringLiteral("0"));
    const QCommandLineOption comeBackOption(
        QStringLiteral("come-back-after"),
        QStringLiteral("with --fault close: lay the card again after this many milliseconds, without the fault"),
        QStringLiteral("ms"));
    parser.addOptions({hostOption, portOption, waitOption, blocksOption, getResponseOption, faultOption,
                       afterBlocksOption, comeBackOption});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    CCardImage image;
    if (const QString error = image.LoadFile(parser.positionalArguments().front()); !error.isEmpty()) {
        std::fprintf(stderr, "voluni-vcard: %s\n", qPrintable(error));
        return 2;
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port == 0 || port > 65535) {
        std::fprintf(stderr, "voluni-vcard: bad port %s\n", qPrintable(parser.value(portOption)));
        return 2;
    }
    SFaultPlan plan;
    if (parser.isSet(faultOption)) {
        const QString kind = parser.value(faultOption);
        plan.fault = kind == QLatin1String("close") ? EFault::Close
            : kind == QLatin1String("stall")        ? EFault::Stall
            : kind == QLatin1String("empty")        ? EFault::Empty
                                                    : EFault::None;
        bool countOk = false;
        plan.afterBlocks = parser.value(afterBlocksOption).toUInt(&countOk);
        if (plan.fault == EFault::None || !countOk) {
            std::fprintf(stderr, "voluni-vcard: bad fault %s after %s blocks\n", qPrintable(kind),
                         qPrintable(parser.value(afterBlocksOption)));
            return 2;
        }
    }
    long comeBackMs = -1; // never
    if (parser.isSet(comeBackOption)) {
        bool ok = false;
        comeBackMs = parser.value(comeBackOption).toLong(&ok);
        if (!ok || comeBackMs < 0 || plan.fault != EFault::Close) {
            std::fprintf(stderr, "voluni-vcard: --come-back-after takes milliseconds and --fault close\n");
            return 2;
        }
    }

    CCountingCard card(std::move(image));
    if (parser.isSet(blocksOption))
        card.SetBlocksPerRead(parser.value(blocksOption).toUInt());
    card.SetPn532AnswersByGetResponse(parser.isSet(getResponseOption));

    const QString host = parser.value(hostOption);
    const int tries = qMax(1, parser.value(waitOption).toInt() * 10);
    for (;;) {
        const int fd = ConnectToDriver(host, static_cast<quint16>(port), tries);
        if (fd < 0) {
            std::fprintf(stderr, "voluni-vcard: cannot reach the vpcd driver at %s:%u: %s\n", qPrintable(host), port,
                         std::strerror(errno));
            return 1;
        }
        const EServed served = Serve(fd, card, plan);
        close(fd);
        if (served == EServed::DriverHungUp || comeBackMs < 0)
            return 0;
        // Lifted: laid on the reader again a moment later, and read as it should be.
        QThread::msleep(static_cast<unsigned long>(comeBackMs));
        plan.fault = EFault::None;
        comeBackMs = -1;
    }
}
