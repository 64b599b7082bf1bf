#include "readers/ReaderSurvey.h"

#include "readers/CardReadAttempt.h"
#include "readers/PcscService.h"
#include "readers/ReaderTable.h"

#include <PCSC/winscard.h>

#include <string>

namespace {

// Why no module serves a reader the tables do not name.
QString WhyNoModule(const std::string& name, const SReaderReport& report, LONG connectRc)
{
    if (MatchDialectReader(name))
        return QStringLiteral("no module: the connection failed (%1)").arg(QString::number(connectRc, 16));
    if (!MayBeContactlessSlot(name))
        return QStringLiteral("no module: a SAM or contact slot");
    if (!report.cardPresent)
        return QStringLiteral("no module: not a known reader; lay a FeliCa card on it to try its ATR");
    return QStringLiteral("no module: not a known reader, and the card's ATR does not announce FeliCa");
}

void PollOnce(SReaderReport& report)
{
    const std::unique_ptr<CReaderMod> reader = CreatePcscModule(report.readerType, report.name);
    if (!reader->IsAvailable() || !reader->Open())
        return;
    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
    for (const uint16_t code : CCardReadAttempt::kSystemCodes) {
        if (reader->Polling(idm.data(), pmm.data(), code, 0, 0)) {
            report.idm = idm;
            report.systemCode = code;
            break;
        }
    }
    reader->Close();
}

SReaderReport Survey(IPcscService& pcsc, SCARDCONTEXT hContext, const std::string& name)
{
    SReaderReport report;
    report.name = QString::fromStdString(name);
    SCARDHANDLE hCard = 0;
    DWORD protocol = 0;
    const LONG rc =
        pcsc.Connect(hContext, name, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &hCard, &protocol);
    if (rc == SCARD_S_SUCCESS) {
        report.cardPresent = true;
        if (pcsc.Status(hCard, report.atr) != SCARD_S_SUCCESS)
            report.atr.clear();
    }
    if (hCard)
        pcsc.Disconnect(hCard, SCARD_LEAVE_CARD);

    const int knownType = MatchKnownReader(name);
    report.readerType = knownType ? knownType : MatchOtherReader(name, rc, report.atr);
    if (report.readerType == 0) {
        report.module = WhyNoModule(name, report, rc);
        return report;
    }
    report.module = DescribeReaderType(report.readerType);
    if (report.cardPresent)
        PollOnce(report);
    return report;
}

} // namespace

LONG SurveyPcscReaders(std::vector<SReaderReport>& reports)
{
    reports.clear();
    IPcscService& pcsc = PcscService();
    SCARDCONTEXT hContext = 0;
    LONG rc = pcsc.EstablishContext(SCARD_SCOPE_USER, &hContext);
    if (rc != SCARD_S_SUCCESS)
        return rc;
    std::vector<std::string> readers;
    rc = pcsc.ListReaders(hContext, "SCard$AllReaders", readers);
    if (rc == SCARD_S_SUCCESS) {
        for (const std::string& name : readers)
            reports.push_back(Survey(pcsc, hContext, name));
    }
    pcsc.ReleaseContext(hContext);
    return rc;
}
