// The Sony NFC Port-100 command set of the RC-S380: extended frames, command identifier D6,
// the card frame carried by InCommRF.
#pragma once

#include "felicausb/FelicaChip.h"

class CRcs380Chip final : public CFelicaChip {
public:
    explicit CRcs380Chip(IUsbDevice& device);

    EChipResult Setup() override;
    EChipResult Exchange(const ByteVector& command, std::chrono::microseconds timeout, ByteVector& answer) override;
    std::string Firmware() override;
    void Shutdown() override;

    // Command codes; the response code is one more.
    static constexpr uint8_t kInSetRf = 0x00;
    static constexpr uint8_t kInSetProtocol = 0x02;
    static constexpr uint8_t kInCommRf = 0x04;
    static constexpr uint8_t kSwitchRf = 0x06;
    static constexpr uint8_t kGetFirmwareVersion = 0x20;
    static constexpr uint8_t kSetCommandType = 0x2A;

private:
    // A command whose answer is one status byte, 0 for success.
    EChipResult StatusCommand(uint8_t code, const ByteVector& params);
};
