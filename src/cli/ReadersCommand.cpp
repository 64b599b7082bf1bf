#include "cli/ReadersCommand.h"

#include "card/AppMessage.h"
#include "cli/ExitCode.h"
#include "felicausb/UsbReaderProbe.h"
#include "readers/CardReadResult.h"
#include "readers/ReaderSurvey.h"
#include "resources/StringTable.h"

#include <PCSC/pcsclite.h>

#include <QString>

#include <algorithm>
#include <span>

namespace {

QString Hex(std::span<const uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()))
        .toHex(' ')
        .toUpper();
}

QString Describe(const SReaderReport& reader)
{
    QString text = reader.name + QLatin1Char('\n');
    text += QStringLiteral("  module: %1\n").arg(reader.module);
    if (!reader.cardPresent)
        return text + QStringLiteral("  card: none\n");
    text += QStringLiteral("  card: present, ATR %1\n").arg(reader.atr.empty() ? QStringLiteral("unknown") : Hex(reader.atr));
    if (reader.readerType != 0) {
        text += reader.idm ? QStringLiteral("  IDm: %1 (system code %2)\n")
                                 .arg(Hex(*reader.idm))
                                 .arg(reader.systemCode, 4, 16, QLatin1Char('0'))
                           : QStringLiteral("  IDm: no answer to a polling for the transit system codes\n");
    }
    return text;
}

QString DescribeUsb(const SUsbReaderState& reader)
{
    return QStringLiteral("%1 (USB %2:%3)\n  module: FeliCa USB library\n  access: %4\n")
        .arg(QString::fromStdString(reader.model))
        .arg(reader.device.vendor, 4, 16, QLatin1Char('0'))
        .arg(reader.device.product, 4, 16, QLatin1Char('0'))
        .arg(QString::fromStdString(UsbAccessText(reader.access)));
}

int Failure(int exitCode, const QString& message)
{
    ShowAppMessage(message, MessageIcon::Stop);
    return exitCode;
}

} // namespace

int RunReaders(QByteArray& output)
{
    std::vector<SReaderReport> readers;
    const LONG rc = SurveyPcscReaders(readers);
    // The USB readers the FeliCa library serves, after the PC/SC readers, in the
    // order the coordinator tries them; they need no pcscd.
    const std::vector<SUsbReaderState> usbReaders = ProbeUsbReaders();
    if (usbReaders.empty()) {
        if (rc == SCARD_E_NO_SERVICE)
            return Failure(EXIT_SERVICE_STOPPED, ServiceStoppedText());
        if (rc != SCARD_S_SUCCESS && rc != SCARD_E_NO_READERS_AVAILABLE && rc != SCARD_E_UNKNOWN_READER)
            return Failure(EXIT_READER_OPEN, LoadResString(IDS_READER_OPEN_FAILED));
        if (readers.empty())
            return Failure(EXIT_NO_READER, LoadResString(IDS_READER_NOT_CONNECTED));
    }

    QString text;
    for (const SReaderReport& reader : readers)
        text += Describe(reader);
    for (const SUsbReaderState& reader : usbReaders)
        text += DescribeUsb(reader);
    output = text.toUtf8();
    const bool usable = std::any_of(readers.begin(), readers.end(), [](const SReaderReport& r) { return r.readerType; })
        || std::any_of(usbReaders.begin(), usbReaders.end(),
                       [](const SUsbReaderState& r) { return r.access == EUsbResult::Ok; });
    if (!usable)
        return Failure(EXIT_READER_OPEN, LoadResString(IDS_READER_OPEN_FAILED));
    return EXIT_OK;
}
