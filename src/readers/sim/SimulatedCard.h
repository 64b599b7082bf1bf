// A contactless reader with a FeliCa card on it, answering from a card image the frames
// the PC/SC modules send: FF 40 polling, FF 46 read, the Circle pass-through FF AB and its
// preparation FF 00 41 81 01 0C, the storage-card commands (GET DATA, SELECT FILE, READ
// BINARY), PN532 commands through the direct transmit FF 00 00 00 (with GET RESPONSE when
// told to answer 61 nn), and the escape commands. The one place that turns an
// image into answers: the simulated service and the virtual card both use it.
#pragma once

#include "readers/sim/CardImage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class CSimulatedCard {
public:
    // The card keeps this many history slots; blocks past the image are empty
    // up to here, and beyond it the card reports an illegal block number.
    static constexpr size_t kHistorySlots = CCardImage::kHistorySlots;
    // Status words the reader gives when the card stays silent or the frame is bad.
    static constexpr uint16_t kSwOk = 0x9000;
    static constexpr uint16_t kSwNoAnswer = 0x6A82;
    static constexpr uint16_t kSwWrongLength = 0x6700;
    static constexpr uint16_t kSwBadInstruction = 0x6D00;
    static constexpr uint16_t kSwBadClass = 0x6E00;

    // Blocks one READ BINARY or one PN532 read takes at most; more are refused.
    static constexpr size_t kDefaultBlocksPerRead = 12;

    explicit CSimulatedCard(CCardImage image);
    virtual ~CSimulatedCard() = default;
    CSimulatedCard(const CSimulatedCard&) = default;
    CSimulatedCard& operator=(const CSimulatedCard&) = default;

    const CCardImage& Image() const { return m_image; }

    // The ATR the reader reports: the image's, or else the PC/SC storage-card form
    // announcing FeliCa.
    const std::vector<uint8_t>& Atr() const { return m_atr; }
    void SetAtr(std::vector<uint8_t> atr) { m_atr = std::move(atr); }
    // A card that reads at most this many blocks per command (1: one at a time).
    void SetBlocksPerRead(size_t blocks) { m_nBlocksPerRead = std::max<size_t>(blocks, 1); }
    // PN532 answers come as 61 nn, to be fetched with GET RESPONSE.
    void SetPn532AnswersByGetResponse(bool on) { m_bPn532GetResponse = on; }

    // One SCardTransmit: the answer bytes, status word last.
    std::vector<uint8_t> Transmit(std::span<const uint8_t> apdu);
    // One escape command; false for a command the reader does not know.
    bool Control(std::span<const uint8_t> command, std::vector<uint8_t>& answer);

    uint8_t ReaderMode() const { return m_nReaderMode; }
    void SetFirmwareVersion(uint8_t major, uint8_t minor);

protected:
    struct SBlockAnswer {
        uint8_t flag1 = 0;
        uint8_t flag2 = 0;
        std::vector<uint8_t> data; // 16 bytes unless a status flag is set
    };
    // One block of a read command: its status flags and data. A card of a test may answer
    // otherwise.
    virtual SBlockAnswer ReadBlock(uint16_t serviceCode, uint8_t block) const;
    // The whole answer to a read command from block on (FF 46, FF AB 06 and READ BINARY),
    // status word last, as it leaves the card.
    virtual std::vector<uint8_t> FinishBlockAnswer(uint8_t block, std::vector<uint8_t> answer) const
    {
        (void)block;
        return answer;
    }
    static std::vector<uint8_t> StatusWordOnly(uint16_t statusWord);

private:
    std::vector<uint8_t> AnswerPolling(std::span<const uint8_t> request) const;
    std::vector<uint8_t> AnswerDirectRead(std::span<const uint8_t> apdu) const;
    std::vector<uint8_t> AnswerPassThrough(std::span<const uint8_t> apdu) const;
    std::vector<uint8_t> AnswerFelicaCommand(std::span<const uint8_t> command) const;
    std::vector<uint8_t> AnswerStorageCard(std::span<const uint8_t> apdu);
    std::vector<uint8_t> AnswerReadBinary(uint8_t first, uint8_t le) const;
    std::vector<uint8_t> AnswerPn532(std::span<const uint8_t> command);

    CCardImage m_image;
    std::vector<uint8_t> m_atr;
    size_t m_nBlocksPerRead = kDefaultBlocksPerRead;
    bool m_bPn532GetResponse = false;
    std::vector<uint8_t> m_pendingResponse; // what GET RESPONSE hands out
    std::optional<uint16_t> m_selectedService;
    uint8_t m_nReaderMode = 0xFF;
    uint8_t m_nFirmwareMajor = 1;
    uint8_t m_nFirmwareMinor = 5;
};
