#include "readers/PasoriMod.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr size_t kIdLength = 8;
constexpr size_t kVersionTextSize = 256;

} // namespace

CPasoriMod::CPasoriMod()
{
    m_hLibrary = LoadFelicaLibrary(FelicaLibraryPath(), m_entries);
}

CPasoriMod::~CPasoriMod()
{
    if (m_bOpened && IsAvailable() && IsOpened() && m_entries.dispose_library())
        m_bOpened = 0;
    UnloadFelicaLibrary(m_hLibrary);
    m_hLibrary = nullptr;
}

int CPasoriMod::Open()
{
    if (!IsAvailable())
        return 0;
    if (m_bOpened)
        return 1;
    if (!m_entries.initialize_library())
        return 0;
    if (!m_entries.open_reader_writer_auto()) {
        // Leave nothing initialised behind a reader/writer that did not open.
        m_entries.dispose_library();
        return 0;
    }
    m_bOpened = 1;
    return 1;
}

int CPasoriMod::Close()
{
    if (!IsAvailable())
        return 0;
    if (!m_bOpened)
        return 1;
    if (!m_entries.dispose_library())
        return 0;
    m_bOpened = 0;
    return 1;
}

int CPasoriMod::Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t wSystemCode, uint8_t bTimeSlot, uint8_t nCards)
{
    if (!IsAvailable())
        return 0;
    const std::array<uint8_t, 2> systemCode = {static_cast<uint8_t>(wSystemCode >> 8),
                                               static_cast<uint8_t>(wSystemCode & 0xFF)};
    FelicaPollingRequest request = {systemCode.data(), bTimeSlot};
    std::array<uint8_t, kIdLength> idm{};
    std::array<uint8_t, kIdLength> pmm{};
    FelicaCardInformation card = {idm.data(), pmm.data()};
    if (!m_entries.polling_and_get_card_information(&request, &nCards, &card) || nCards == 0)
        return 0;
    if (pIDm)
        std::copy(idm.begin(), idm.end(), pIDm);
    if (pPMm)
        std::copy(pmm.begin(), pmm.end(), pPMm);
    return 1;
}

int CPasoriMod::ReadBlocks(const uint8_t* pIDm, uint16_t wServiceCode, uint16_t, HistoryBlockList* pBlocks,
                           uint8_t nBlocks)
{
    if (!IsAvailable() || !m_entries.CanReadBlocks() || !pIDm || !pBlocks)
        return 0;

    const std::array<uint8_t, 2> serviceCode = {static_cast<uint8_t>(wServiceCode & 0xFF),
                                                static_cast<uint8_t>(wServiceCode >> 8)};
    std::array<uint8_t, 2> blockList = {0x80, 0x00};
    FelicaReadRequest request = {pIDm, 1, serviceCode.data(), 1, blockList.data()};
    uint8_t statusFlag1 = 0;
    uint8_t statusFlag2 = 0;
    uint8_t numberOfBlocks = 0;
    HistoryBlock block{};
    FelicaReadResult result = {&statusFlag1, &statusFlag2, &numberOfBlocks, block.data()};

    // The first block that does not read ends the list; whether that was a failure only the
    // library's last error tells.
    for (unsigned n = 0; n < nBlocks; ++n) {
        blockList[1] = static_cast<uint8_t>(n);
        block.fill(0);
        if (!m_entries.read_block_without_encryption(&request, &result) || statusFlag1 != 0
            || IsEmptyBlock(block))
            break;
        pBlocks->push_back(block);
    }

    int errorType1 = 0;
    int errorType2 = 0;
    m_entries.get_last_error_types(&errorType1, &errorType2);
    if (errorType2 == kFelicaReadError) {
        pBlocks->clear();
        return 0;
    }
    return 1;
}

int CPasoriMod::IsAvailable()
{
    return m_hLibrary ? 1 : 0;
}

int CPasoriMod::IsOpened()
{
    return m_bOpened;
}

QString CPasoriMod::GetVersionText()
{
    if (!IsAvailable())
        return QString();
    std::array<char, kVersionTextSize> text{};
    if (!m_entries.get_version_information(text.data()))
        return QString();
    // The library writes its ANSI code page; the text need not be terminated within the buffer.
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(strnlen(text.data(), text.size())));
}

int CPasoriMod::GetVersionNumber()
{
    if (!IsAvailable())
        return 0;
    int number = 0;
    m_entries.get_version_number(&number);
    return number;
}

int CPasoriMod::IsReaderAlive()
{
    if (!IsAvailable())
        return 0;
    int alive = 0;
    m_entries.reader_writer_is_alive(&alive);
    return alive;
}

bool CPasoriMod::FoundNoReader()
{
    if (!IsAvailable())
        return false;
    int errorType1 = 0;
    int errorType2 = 0;
    m_entries.get_last_error_types(&errorType1, &errorType2);
    return errorType2 == kFelicaNoReaderError;
}
