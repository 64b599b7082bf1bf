#include "cli/ReadersCommand.h"

#include "card/AppMessage.h"
#include "cli/ExitCode.h"
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

int Failure(int exitCode, int message)
{
    ShowAppMessage(LoadResString(message), MessageIcon::Stop);
    return exitCode;
}

} // namespace

int RunReaders(QByteArray& output)
{
    std::vector<SReaderReport> readers;
    const LONG rc = SurveyPcscReaders(readers);
    if (rc == SCARD_E_NO_SERVICE)
        return Failure(EXIT_SERVICE_STOPPED, IDS_SMARTCARD_SERVICE_STOPPED);
    if (rc != SCARD_S_SUCCESS && rc != SCARD_E_NO_READERS_AVAILABLE && rc != SCARD_E_UNKNOWN_READER)
        return Failure(EXIT_READER_OPEN, IDS_READER_OPEN_FAILED);
    // Readers outside PC/SC (USB readers served by a library of their own) join the
    // listing here, after the PC/SC readers, in the order the coordinator would try them.
    if (readers.empty())
        return Failure(EXIT_NO_READER, IDS_READER_NOT_CONNECTED);

    QString text;
    for (const SReaderReport& reader : readers)
        text += Describe(reader);
    output = text.toUtf8();
    const bool usable = std::any_of(readers.begin(), readers.end(), [](const SReaderReport& r) { return r.readerType; });
    if (!usable)
        return Failure(EXIT_READER_OPEN, IDS_READER_OPEN_FAILED);
    return EXIT_OK;
}
