// Reader module for contactless PC/SC readers that understand the FeliCa pseudo-commands
// FF 40 (polling) and FF 46 (read without encryption) and keep a mode byte behind the
// escape channel. Base of the vendor variants, which inherit what they do not replace.
#pragma once

#include "readers/ReaderMod.h"

#include <PCSC/winscard.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class CPcscMod : public CReaderMod {
public:
    explicit CPcscMod(const QString& strReaderName);
    ~CPcscMod() override;

    CPcscMod(const CPcscMod&) = delete;
    CPcscMod& operator=(const CPcscMod&) = delete;

    int Open() override;
    int Close() override;
    int Polling(uint8_t* pIDm, uint8_t* pPMm, uint16_t wSystemCode, uint8_t bTimeSlot, uint8_t nCards) override;
    int ReadBlocks(const uint8_t* pIDm, uint16_t wServiceCode, uint16_t wSystemCode, HistoryBlockList* pBlocks,
                   uint8_t nBlocks) override;
    int IsAvailable() override;
    int IsOpened() override;
    QString GetVersionText() override;
    int GetVersionNumber() override;
    int SetReaderMode(uint8_t bMode) override;
    int ApplyReaderMode(uint8_t nIndex) override;
    int GetReaderMode(uint8_t* pMode) override;

    EReaderFault LastFault() const override { return m_fault; }

    // Wildcard polling; fills IDm and PMm from the answer.
    virtual int PollAnyCard(uint8_t* pIDm, uint8_t* pPMm);
    // Polling for one system code; only the status word counts.
    virtual int PollSystem(uint16_t wSystemCode);

    QString m_strReaderName;
    SCARDCONTEXT m_hContext = 0;
    SCARDHANDLE m_hCard = 0;

protected:
    using Frame = std::vector<uint8_t>;
    using ReaderModes = std::array<uint8_t, 2>; // exit value, run value

    static constexpr DWORD kShortAnswer = 30;
    static constexpr DWORD kLongAnswer = 256;

    // One SCardTransmit over m_hCard. answer holds exactly the bytes received.
    LONG Transmit(std::span<const uint8_t> frame, DWORD receiveSize, Frame& answer);
    // Begin, transmit, end: true only for a sent frame answered with 90 00.
    bool ExchangeInTransaction(std::span<const uint8_t> frame, DWORD receiveSize, Frame& answer);
    // One escape command over m_hCard; true when the call succeeded.
    bool Escape(std::span<const uint8_t> frame, DWORD receiveSize, Frame& answer);
    // Escape command whose answer's first byte is the mode byte.
    int QueryReaderMode(std::span<const uint8_t> frame, uint8_t* pMode);
    LONG BeginTransaction();
    void EndTransaction();
    // Connects shared (T=0 or T=1) unless a card connection is kept already. A connection
    // that lost its card, or its service, is let go first, and a lost context made anew.
    bool ConnectCard();
    // Every result of a call on the card connection passes here: a card taken away or
    // reset, a service gone or a call past its deadline marks the connection for renewal
    // at the next polling. Returns rc.
    LONG Noted(LONG rc);
    // Where an answer to a block command keeps its status flags and block data.
    struct BlockAnswerLayout {
        size_t statusFlag1;
        std::optional<size_t> statusFlag2; // only where this flag stops the read too
        size_t blockData;
    };
    // The block loop of ReadBlocks, inside the transaction already begun: sends frame with its
    // last byte set to each block number, appends what the card holds and ends the transaction.
    // Stops with success at an empty block or a status error; any failed exchange empties
    // pBlocks and gives 0.
    int ReadEachBlock(Frame frame, const BlockAnswerLayout& layout, HistoryBlockList* pBlocks, uint8_t nBlocks);
    // Writes modes[nIndex] over a direct connection of its own.
    int ApplyModeFrom(const ReaderModes& modes, uint8_t nIndex);

    // The status word is the last two bytes received; 90 00 means success.
    static bool IsStatusOk(const Frame& answer);
    // True when the answer holds dataLength bytes before its status word. An answer too short
    // for the bytes an operation takes is a failed exchange: nothing is read past what came.
    static bool HasData(const Frame& answer, size_t dataLength) { return answer.size() >= dataLength + 2; }
    // Copies 8 IDm bytes from idmAt and the 8 PMm bytes after them; HasData checked first.
    static void CopyCardIds(const Frame& answer, size_t idmAt, uint8_t* pIDm, uint8_t* pPMm);
    static uint8_t High(uint16_t w) { return static_cast<uint8_t>(w >> 8); }
    static uint8_t Low(uint16_t w) { return static_cast<uint8_t>(w & 0xFF); }

private:
    static Frame SystemPollingFrame(uint16_t wSystemCode);
    void LetGoOfLostConnection();

    EReaderFault m_fault = EReaderFault::None;
    bool m_bCardLost = false;    // m_hCard no longer reaches a card
    bool m_bContextLost = false; // m_hContext no longer reaches the service
    bool m_bNeedContext = false; // a lost context was let go; the next polling makes one
};
