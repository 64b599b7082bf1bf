#include "readers/PcscMod.h"

#include "readers/PcscService.h"


#include <algorithm>

namespace {

constexpr DWORD kVersionAnswer = 40;

// The wildcard polling answers IDm and PMm in its first 16 bytes.
constexpr size_t kPmmEnd = 16;

} // namespace

CPcscMod::CPcscMod(const QString& strReaderName)
{
    SCARDCONTEXT hContext = 0;
    if (PcscService().EstablishContext(SCARD_SCOPE_USER, &hContext) == SCARD_S_SUCCESS) {
        m_hContext = hContext;
        m_strReaderName = strReaderName;
    }
}

CPcscMod::~CPcscMod()
{
    if (m_hCard)
        PcscService().Disconnect(m_hCard, SCARD_LEAVE_CARD);
    if (m_hContext)
        PcscService().ReleaseContext(m_hContext);
}

int CPcscMod::Open()
{
    if (m_hContext)
        return 1;
    SCARDCONTEXT hContext = 0;
    if (Noted(PcscService().EstablishContext(SCARD_SCOPE_USER, &hContext)) != SCARD_S_SUCCESS)
        return 0;
    m_hContext = hContext;
    m_bNeedContext = false;
    return 1;
}

int CPcscMod::Close()
{
    if (m_hContext)
        PcscService().ReleaseContext(m_hContext);
    m_hContext = 0;
    return 1;
}

int CPcscMod::Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t wSystemCode, uint8_t, uint8_t)
{
    if (!ConnectCard() || !PollSystem(wSystemCode))
        return 0;
    return PollAnyCard(pIDm, pPMm);
}

int CPcscMod::ReadBlocks(const uint8_t*, uint16_t wServiceCode, uint16_t wSystemCode, HistoryBlockList* pBlocks,
                         uint8_t nBlocks)
{
    if (!pBlocks || BeginTransaction() != SCARD_S_SUCCESS)
        return 0;

    // The reader addresses the card that answers this polling; without one there is nothing to read.
    Frame answer;
    if (Transmit(SystemPollingFrame(wSystemCode), kLongAnswer, answer) != SCARD_S_SUCCESS
        || !IsStatusOk(answer)) {
        EndTransaction();
        return 1;
    }
    // FF 46 answers IDm, status flag 1, status flag 2, number of blocks, block data; only
    // status flag 1 stops the read.
    static constexpr BlockAnswerLayout kBlockAnswer = {8, std::nullopt, 11};
    const Frame read = {0xFF, 0x46, 0x01, 0x01, 0x04, Low(wServiceCode), High(wServiceCode), 0x80, 0x00};
    return ReadEachBlock(read, kBlockAnswer, pBlocks, nBlocks);
}

int CPcscMod::IsAvailable()
{
    return 1;
}

int CPcscMod::IsOpened()
{
    return m_hContext ? 1 : 0;
}

QString CPcscMod::GetVersionText()
{
    const qsizetype blank = m_strReaderName.indexOf(u' ');
    if (blank < 0)
        return m_strReaderName;
    const int v = GetVersionNumber();
    if (v == 0)
        return m_strReaderName;
    return QStringLiteral("%1 %2.%3")
        .arg(m_strReaderName.left(blank))
        .arg(v / 100)
        .arg(v % 100, 2, 10, QLatin1Char('0'));
}

int CPcscMod::GetVersionNumber()
{
    Frame answer;
    if (!Escape(Frame{0x1E}, kVersionAnswer, answer) || answer.size() < 2)
        return 0;
    return answer[0] * 100 + answer[1];
}

int CPcscMod::SetReaderMode(uint8_t bMode)
{
    Frame answer;
    return Escape(Frame{0x95, bMode}, kLongAnswer, answer) ? 1 : 0;
}

int CPcscMod::ApplyReaderMode(uint8_t nIndex)
{
    static constexpr ReaderModes kModes = {0x1B, 0xFF};
    return ApplyModeFrom(kModes, nIndex);
}

int CPcscMod::GetReaderMode(uint8_t* pMode)
{
    return QueryReaderMode(Frame{0x94}, pMode);
}

int CPcscMod::PollAnyCard(uint8_t* pIDm, uint8_t* pPMm)
{
    const Frame frame = {0xFF, 0x40, 0x00, 0x00, 0x04, 0xFF, 0xFF, 0x00, 0x00};
    Frame answer;
    if (!ExchangeInTransaction(frame, kShortAnswer, answer) || !HasData(answer, kPmmEnd))
        return 0;
    CopyCardIds(answer, 0, pIDm, pPMm);
    return 1;
}

int CPcscMod::PollSystem(uint16_t wSystemCode)
{
    Frame answer;
    return ExchangeInTransaction(SystemPollingFrame(wSystemCode), kLongAnswer, answer) ? 1 : 0;
}

LONG CPcscMod::Transmit(std::span<const uint8_t> frame, DWORD receiveSize, Frame& answer)
{
    answer.assign(receiveSize, 0);
    DWORD received = receiveSize;
    const LONG rc = Noted(PcscService().Transmit(
        m_hCard, SCARD_PCI_T1, frame.data(), static_cast<DWORD>(frame.size()), answer.data(), &received));
    answer.resize(rc == SCARD_S_SUCCESS ? std::min(received, receiveSize) : 0);
    return rc;
}

bool CPcscMod::ExchangeInTransaction(std::span<const uint8_t> frame, DWORD receiveSize, Frame& answer)
{
    if (BeginTransaction() != SCARD_S_SUCCESS)
        return false;
    const bool ok = Transmit(frame, receiveSize, answer) == SCARD_S_SUCCESS && IsStatusOk(answer);
    EndTransaction();
    return ok;
}

bool CPcscMod::Escape(std::span<const uint8_t> frame, DWORD receiveSize, Frame& answer)
{
    answer.assign(receiveSize, 0);
    DWORD received = 0;
    const LONG rc = Noted(PcscService().Control(m_hCard, kReaderEscapeCode, frame.data(),
                                                static_cast<DWORD>(frame.size()), answer.data(), receiveSize,
                                                &received));
    answer.resize(rc == SCARD_S_SUCCESS ? std::min(received, receiveSize) : 0);
    return rc == SCARD_S_SUCCESS;
}

int CPcscMod::QueryReaderMode(std::span<const uint8_t> frame, uint8_t* pMode)
{
    Frame answer;
    if (!pMode || !Escape(frame, kLongAnswer, answer) || answer.empty())
        return 0;
    *pMode = answer[0];
    return 1;
}

LONG CPcscMod::BeginTransaction()
{
    // Every polling exchange and every block read begins here: what failed before is past.
    m_fault = EReaderFault::None;
    return Noted(PcscService().BeginTransaction(m_hCard));
}

void CPcscMod::EndTransaction()
{
    Noted(PcscService().EndTransaction(m_hCard, SCARD_LEAVE_CARD));
}

bool CPcscMod::ConnectCard()
{
    m_fault = EReaderFault::None;
    LetGoOfLostConnection();
    if (m_hCard)
        return true;
    if (m_bNeedContext && !Open())
        return false;
    SCARDHANDLE hCard = 0;
    DWORD protocol = 0;
    if (Noted(PcscService().Connect(m_hContext, m_strReaderName.toStdString(), SCARD_SHARE_SHARED,
                                    SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &hCard, &protocol))
        != SCARD_S_SUCCESS)
        return false;
    m_hCard = hCard;
    return true;
}

void CPcscMod::LetGoOfLostConnection()
{
    if ((m_bCardLost || m_bContextLost) && m_hCard)
        PcscService().Disconnect(m_hCard, SCARD_LEAVE_CARD);
    if (m_bCardLost || m_bContextLost)
        m_hCard = 0;
    if (m_bContextLost) {
        if (m_hContext)
            PcscService().ReleaseContext(m_hContext);
        m_hContext = 0;
        m_bNeedContext = true;
    }
    m_bCardLost = m_bContextLost = false;
}

LONG CPcscMod::Noted(LONG rc)
{
    switch (rc) {
    case SCARD_E_TIMEOUT:
    case SCARD_E_CANCELLED:
        // The call still holds the context: the service takes both back once it returns.
        m_fault = EReaderFault::TimedOut;
        m_bCardLost = m_hCard != 0;
        m_bContextLost = m_hContext != 0;
        break;
    case SCARD_E_NO_SERVICE:
    case SCARD_E_SERVICE_STOPPED:
    case SCARD_F_COMM_ERROR:
        m_fault = EReaderFault::ServiceLost;
        m_bCardLost = m_hCard != 0;
        m_bContextLost = m_hContext != 0;
        break;
    case SCARD_E_INVALID_HANDLE:
        // A context of a service that was restarted meanwhile.
        m_bCardLost = m_hCard != 0;
        m_bContextLost = m_hContext != 0;
        break;
    case SCARD_W_REMOVED_CARD:
    case SCARD_W_RESET_CARD:
    case SCARD_W_UNPOWERED_CARD:
    case SCARD_W_UNRESPONSIVE_CARD:
    case SCARD_E_NO_SMARTCARD:
    case SCARD_E_READER_UNAVAILABLE:
        m_bCardLost = m_hCard != 0;
        break;
    default:
        break;
    }
    return rc;
}

int CPcscMod::ReadEachBlock(
    Frame frame, const BlockAnswerLayout& layout, HistoryBlockList* pBlocks, uint8_t nBlocks)
{
    const auto fail = [&] {
        EndTransaction();
        pBlocks->clear();
        return 0;
    };
    const size_t flagsEnd = std::max(layout.statusFlag1, layout.statusFlag2.value_or(0)) + 1;
    Frame answer;
    for (unsigned n = 0; n < nBlocks; ++n) {
        frame.back() = static_cast<uint8_t>(n);
        const bool answered = Transmit(frame, kLongAnswer, answer) == SCARD_S_SUCCESS && IsStatusOk(answer);
        if (!answered || !HasData(answer, flagsEnd))
            return fail();
        // An error answer need not carry a block, so the flags are looked at first.
        if (answer[layout.statusFlag1] != 0 || (layout.statusFlag2 && answer[*layout.statusFlag2] != 0))
            break;
        if (!HasData(answer, layout.blockData + sizeof(HistoryBlock)))
            return fail();
        HistoryBlock block;
        std::copy_n(
            answer.begin() + static_cast<std::ptrdiff_t>(layout.blockData), block.size(), block.begin());
        if (IsEmptyBlock(block))
            break;
        pBlocks->push_back(block);
    }
    EndTransaction();
    return 1;
}

int CPcscMod::ApplyModeFrom(const ReaderModes& modes, uint8_t nIndex)
{
    if (nIndex >= modes.size())
        return 0;
    SCARDHANDLE hCard = 0;
    DWORD protocol = 0;
    if (Noted(PcscService().Connect(m_hContext, m_strReaderName.toStdString(), SCARD_SHARE_DIRECT, 0, &hCard,
                                    &protocol))
        != SCARD_S_SUCCESS)
        return 0;
    m_hCard = hCard;
    SetReaderMode(modes[nIndex]);
    PcscService().Disconnect(m_hCard, SCARD_UNPOWER_CARD);
    m_hCard = 0;
    return 1;
}

CPcscMod::Frame CPcscMod::SystemPollingFrame(uint16_t wSystemCode)
{
    // FeliCa polling for the system code, asking for the system code back, time slot 0.
    return {0xFF, 0x40, 0x00, 0x00, 0x04, High(wSystemCode), Low(wSystemCode), 0x01, 0x00};
}

bool CPcscMod::IsStatusOk(const Frame& answer)
{
    return answer.size() >= 2 && answer[answer.size() - 2] == 0x90 && answer[answer.size() - 1] == 0x00;
}

void CPcscMod::CopyCardIds(const Frame& answer, size_t idmAt, uint8_t* pIDm, uint8_t* pPMm)
{
    constexpr size_t kIdLength = 8;
    if (pIDm)
        std::copy_n(answer.begin() + static_cast<std::ptrdiff_t>(idmAt), kIdLength, pIDm);
    if (pPMm)
        std::copy_n(answer.begin() + static_cast<std::ptrdiff_t>(idmAt + kIdLength), kIdLength, pPMm);
}
