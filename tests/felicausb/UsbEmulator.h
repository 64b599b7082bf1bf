// Sony FeliCa readers emulated behind the USB seam: each answers the host frames of its chip
// family as the published protocol describes them, carries a card from a card image, and can
// be told to misbehave.
#pragma once

#include "felicausb/FrameCodec.h"
#include "felicausb/UsbTransport.h"
#include "readers/sim/CardImage.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

enum class EEmulatedFault {
    None,
    WrongChecksum, // the response's data checksum is off by one
    Nack,          // the reader answers the command frame with a NACK
    NoAnswer,      // acknowledged, then nothing
    Nonsense,      // a well-formed response with the wrong response code
    DeviceGone,    // unplugged: every transfer fails from then on
};

// Counts of what crossed the seam, for tests and the benchmark.
struct SEmulatorCounts {
    int commands = 0;     // host command frames (acknowledgements not counted)
    int cardFrames = 0;   // frames passed on to the card
    int readCommands = 0; // of which Read Without Encryption
    size_t bytesOut = 0;  // host to reader, every transfer
    size_t bytesIn = 0;   // reader to host, every transfer
};

class CEmulatedReader {
public:
    CEmulatedReader(uint16_t product, FrameCodec::EFamily family);

    SUsbDeviceInfo m_info;
    FrameCodec::EFamily m_family;
    std::optional<CCardImage> m_card;
    // Blocks from this number on no longer answer: the card was taken away.
    int m_nCardRemovedAtBlock = -1;
    // Most blocks the card takes in one read command.
    unsigned m_nMaxBlocksPerRead = 15;
    EUsbResult m_openResult = EUsbResult::Ok; // Busy or NoPermission: the reader does not open

    // The fault hits Read Without Encryption commands from number m_nFaultFromRead (0 the
    // first after the reader was set up) on, m_nFaultTimes of them (-1: all).
    EEmulatedFault m_fault = EEmulatedFault::None;
    int m_nFaultFromRead = 0;
    int m_nFaultTimes = -1;
    // Every command, reads or not, gets no answer.
    bool m_bSilent = false;
    // Every command is acknowledged and then never answered.
    bool m_bAcksOnly = false;
    // The card answers a read only after the whole time its PMm gives for the blocks asked
    // for, so a reader told to wait less reports a timeout.
    bool m_bCardTakesWholePmmTime = false;
    // Runs with the host's timeout when a read finds nothing to hand out, in place of the
    // wait a real device makes the host sit through.
    std::function<void(unsigned timeoutMs)> m_onWait;

    // Every frame the host wrote, acknowledgements included, in order.
    std::vector<ByteVector> m_written;
    // RC-S956 state: the field, and the InCommunicateThru timeout index of RFConfiguration
    // item 02 (100 us x 2^(n-1)).
    bool m_bFieldOn = false;
    uint8_t m_nCommTimeoutIndex = 0;

    bool m_bGone = false;
    bool m_bOpen = false;
    SEmulatorCounts m_counts;

    EUsbResult Write(const ByteVector& bytes);
    EUsbResult Read(ByteVector& bytes, unsigned timeoutMs);

private:
    // The chip's answer to one host command (identifier and code first); false: none.
    bool Respond(const ByteVector& command, ByteVector& response);
    bool Rcs380(uint8_t code, const ByteVector& params, ByteVector& response);
    bool Rcs956(uint8_t code, const ByteVector& params, ByteVector& response);
    // The card's answer to a frame (without its length byte); false: it does not answer.
    bool CardAnswer(const ByteVector& command, ByteVector& answer);
    // Whether a read command's answer comes within what the reader waits, in microseconds.
    bool CardAnswersWithin(const ByteVector& command, double waitUs) const;
    bool FaultDue(const ByteVector& command);

    std::deque<ByteVector> m_pending;
};

class CUsbEmulator final : public IUsbBus {
public:
    // An RC-S380/S (054C:06C1), RC-S380/P (06C3) or RC-S370 (02E1).
    CEmulatedReader& Plug(uint16_t product, std::optional<CCardImage> card = std::nullopt);
    // A USB device that is no FeliCa reader.
    void PlugOther(uint16_t vendor, uint16_t product);
    void Clear();
    CEmulatedReader& Reader(size_t index) { return *m_readers.at(index); }
    SEmulatorCounts Counts() const;
    void ResetCounts();

    std::vector<SUsbDeviceInfo> Devices() override;
    std::unique_ptr<IUsbDevice> Open(const SUsbDeviceInfo& device, EUsbResult& why) override;

private:
    std::vector<std::unique_ptr<CEmulatedReader>> m_readers;
    std::vector<SUsbDeviceInfo> m_others;
};

// The emulator inside the test build of the library; tests reach it through the exported
// usb_emulator().
using UsbEmulatorFn = CUsbEmulator* (*)();
