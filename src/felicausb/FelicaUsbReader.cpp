#include "felicausb/FelicaUsbReader.h"

#include "felicausb/CardResponseTime.h"

#include <algorithm>

#include "readers/FelicaRecords.h"

namespace {

constexpr uint8_t kReadWithoutEncryption = 0x06;
constexpr size_t kPollingAnswerSize = 17; // response code, IDm, PMm
constexpr size_t kReadAnswerHead = 11;    // response code, IDm, status flags 1 and 2

int LayerOf(EChipResult result)
{
    switch (result) {
    case EChipResult::NoCard:
    case EChipResult::BadFrame:
        return kLayerCard;
    case EChipResult::Gone:
        return kLayerUsb;
    default:
        return kLayerReader;
    }
}

int OpenReason(EUsbResult why)
{
    switch (why) {
    case EUsbResult::Busy:
        return kReasonBusy;
    case EUsbResult::NoPermission:
        return kReasonNoPermission;
    default:
        return kReasonNoAnswer;
    }
}

} // namespace

void CFelicaUsbReader::Initialize(std::unique_ptr<IUsbBus> bus)
{
    Close();
    m_pBus = std::move(bus);
}

void CFelicaUsbReader::Dispose()
{
    Close();
    m_pBus.reset();
}

void CFelicaUsbReader::Close()
{
    if (m_pChip)
        m_pChip->Shutdown();
    m_pChip.reset();
    m_pDevice.reset();
    m_pModel = nullptr;
    m_cache.clear();
}

bool CFelicaUsbReader::Fail(int layer, int reason)
{
    m_nErrorType1 = layer;
    m_nErrorType2 = reason;
    return false;
}

bool CFelicaUsbReader::Open()
{
    if (!m_pBus)
        return Fail(kLayerCall, kReasonNotOpened);
    if (m_pChip)
        return true;
    m_nErrorType1 = m_nErrorType2 = 0;
    bool found = false;
    int reason = kReasonNoAnswer;
    for (const SUsbDeviceInfo& info : m_pBus->Devices()) {
        const SSupportedReader* model = FindSupportedReader(info);
        if (!model)
            continue;
        found = true;
        EUsbResult why = EUsbResult::Error;
        std::unique_ptr<IUsbDevice> device = m_pBus->Open(info, why);
        if (!device) {
            reason = OpenReason(why);
            continue;
        }
        std::unique_ptr<CFelicaChip> chip = CreateChip(*model, *device);
        if (chip->Setup() != EChipResult::Ok) {
            reason = kReasonNoAnswer;
            continue;
        }
        m_pDevice = std::move(device);
        m_pChip = std::move(chip);
        m_pModel = model;
        return true;
    }
    return Fail(kLayerUsb, found ? reason : kFelicaNoReaderError);
}

bool CFelicaUsbReader::Poll(uint16_t systemCode, uint8_t timeSlot, CardId& idm, CardId& pmm)
{
    if (!m_pChip)
        return Fail(kLayerCall, kReasonNotOpened);
    // A new card session: nothing read before counts any more.
    m_cache.clear();
    m_bSingleBlocks = false;
    m_pmm.fill(0xFF);
    m_nErrorType1 = m_nErrorType2 = 0;
    ByteVector answer;
    const EChipResult result = m_pChip->Poll(systemCode, timeSlot, answer);
    if (result == EChipResult::NoCard)
        return Fail(kLayerCard, kReasonNoCard);
    if (result != EChipResult::Ok)
        return Fail(LayerOf(result), kReasonNoAnswer);
    if (answer.size() < kPollingAnswerSize || answer[0] != 0x01)
        return Fail(kLayerCard, kReasonBadAnswer);
    std::copy_n(answer.begin() + 1, idm.size(), idm.begin());
    std::copy_n(answer.begin() + 1 + static_cast<std::ptrdiff_t>(idm.size()), pmm.size(), pmm.begin());
    m_pmm = pmm;
    return true;
}

EChipResult CFelicaUsbReader::ReadBlocks(const CardId& idm, uint16_t serviceCode, uint8_t first, unsigned count,
                                         uint8_t& statusFlag1, uint8_t& statusFlag2, std::vector<SFelicaBlock>& blocks)
{
    ByteVector command;
    command.reserve(13 + 2 * count);
    command.push_back(kReadWithoutEncryption);
    for (uint8_t b : idm)
        command.push_back(b);
    command.push_back(0x01);
    command.push_back(static_cast<uint8_t>(serviceCode & 0xFF));
    command.push_back(static_cast<uint8_t>(serviceCode >> 8));
    command.push_back(static_cast<uint8_t>(count));
    for (unsigned i = 0; i < count; ++i) {
        // Two-byte block list element: service 0 of the list, block number.
        command.push_back(0x80);
        command.push_back(static_cast<uint8_t>(first + i));
    }
    ByteVector answer;
    const EChipResult result = m_pChip->Exchange(command, CardResponseTime(m_pmm[kPmmReadTimeByte], count), answer);
    if (result != EChipResult::Ok)
        return result;
    if (answer.size() < kReadAnswerHead || answer[0] != kReadWithoutEncryption + 1
        || !std::equal(idm.begin(), idm.end(), answer.begin() + 1))
        return EChipResult::BadFrame;
    statusFlag1 = answer[9];
    statusFlag2 = answer[10];
    if (statusFlag1 != 0)
        return EChipResult::Ok;
    // Every block asked for, 16 bytes each, after the number of blocks.
    if (answer.size() != kReadAnswerHead + 1 + count * 16 || answer[kReadAnswerHead] != count)
        return EChipResult::BadFrame;
    for (unsigned i = 0; i < count; ++i) {
        SFelicaBlock block;
        block.statusFlag1 = statusFlag1;
        block.statusFlag2 = statusFlag2;
        std::copy_n(answer.begin() + static_cast<std::ptrdiff_t>(kReadAnswerHead + 1 + i * 16), 16,
                    block.data.begin());
        blocks.push_back(block);
    }
    return EChipResult::Ok;
}

bool CFelicaUsbReader::ReadBlock(const CardId& idm, uint16_t serviceCode, uint8_t blockNumber, SFelicaBlock& block)
{
    if (!m_pChip)
        return Fail(kLayerCall, kReasonNotOpened);
    if (m_cacheIdm != idm || m_wCacheService != serviceCode) {
        m_cache.clear();
        m_cacheIdm = idm;
        m_wCacheService = serviceCode;
    }
    if (const auto cached = m_cache.find(blockNumber); cached != m_cache.end()) {
        block = cached->second;
        return true;
    }

    uint8_t statusFlag1 = 0;
    uint8_t statusFlag2 = 0;
    std::vector<SFelicaBlock> blocks;
    // Read ahead; after a batch that failed (the card takes fewer blocks a command, a block
    // past its last, a lost answer) single blocks are asked for.
    const unsigned batch = std::min<unsigned>(kBlocksPerRead, 0x100 - blockNumber);
    if (!m_bSingleBlocks && batch > 1) {
        const EChipResult result = ReadBlocks(idm, serviceCode, blockNumber, batch, statusFlag1, statusFlag2, blocks);
        if (result == EChipResult::Ok && statusFlag1 == 0) {
            for (unsigned i = 0; i < batch; ++i)
                m_cache[static_cast<uint8_t>(blockNumber + i)] = blocks[i];
            block = blocks[0];
            return true;
        }
        // The read is not to be trusted after a lost answer, whatever a second try would bring:
        // it ends here rather than wait for the card again.
        if (result != EChipResult::Ok)
            return Fail(LayerOf(result), kFelicaReadError);
        m_bSingleBlocks = true;
        blocks.clear();
    }

    const EChipResult result = ReadBlocks(idm, serviceCode, blockNumber, 1, statusFlag1, statusFlag2, blocks);
    if (result != EChipResult::Ok)
        return Fail(LayerOf(result), kFelicaReadError);
    block = blocks.empty() ? SFelicaBlock{statusFlag1, statusFlag2, {}} : blocks[0];
    return true;
}

std::string CFelicaUsbReader::VersionText()
{
    if (!m_pChip)
        return std::string();
    const std::string firmware = m_pChip->Firmware();
    if (firmware.empty())
        return std::string();
    return std::string(m_pModel->model) + ", firmware " + firmware;
}

bool CFelicaUsbReader::IsAlive()
{
    return m_pChip && !m_pChip->Firmware().empty();
}
