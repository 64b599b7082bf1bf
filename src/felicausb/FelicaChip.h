// A reader chip that carries FeliCa frames to and from the card: the host command protocol
// shared by both chip families (command frame, acknowledgement, response frame), with the
// family's own commands in the classes below it.
#pragma once

#include "felicausb/FrameCodec.h"

#include <chrono>
#include <string>

enum class EChipResult {
    Ok,
    NoCard,   // the reader answered, the card did not (none there, or taken away)
    NoAnswer, // the reader did not answer within its time
    Gone,     // the reader was unplugged
    BadFrame, // a checksum error or an answer that does not fit the command
    Nack,     // the reader refused the frame as damaged
    Refused,  // the reader rejected the command itself
};

class CFelicaChip {
public:
    CFelicaChip(IUsbDevice& device, FrameCodec::EFamily family, uint8_t commandId);
    virtual ~CFelicaChip() = default;

    CFelicaChip(const CFelicaChip&) = delete;
    CFelicaChip& operator=(const CFelicaChip&) = delete;

    // Cancels what the reader may still be doing and prepares FeliCa at 212 kbps.
    virtual EChipResult Setup() = 0;
    // A FeliCa polling for systemCode; answer is the card's response from its response code on.
    virtual EChipResult Poll(uint16_t systemCode, uint8_t timeSlot, ByteVector& answer);
    // Sends one FeliCa command (from its command code on) and lets the card take timeout;
    // answer is the card's response from its response code on.
    virtual EChipResult Exchange(const ByteVector& command, std::chrono::microseconds timeout,
                                 ByteVector& answer) = 0;
    // The firmware version as text; empty when the reader does not answer.
    virtual std::string Firmware() = 0;
    // Switches the field off before the device is closed.
    virtual void Shutdown() = 0;

protected:
    // One host command: sends it, waits for the acknowledgement and at most timeoutMs for the
    // response, whose bytes after the response code land in answer.
    EChipResult Command(uint8_t code, const ByteVector& params, unsigned timeoutMs, ByteVector& answer);
    // An acknowledgement from the host cancels the command the reader is working on.
    void SendAck();
    // Throws away answers left over from an earlier program that was stopped mid-command.
    void Drain();

    // A card frame carries its own length first.
    static ByteVector WithLength(const ByteVector& command);
    static bool WithoutLength(const ByteVector& frame, ByteVector& response);
    // A card's time in whole milliseconds, rounded up.
    static unsigned CeilMs(std::chrono::microseconds time);

private:
    IUsbDevice& m_device;
    FrameCodec::EFamily m_family;
    uint8_t m_commandId;
};

// The card's polling command: command code 00, system code high byte first, no request
// data, the time slot.
ByteVector FelicaPollingCommand(uint16_t systemCode, uint8_t timeSlot);
