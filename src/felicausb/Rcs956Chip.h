// The PN53x-style command set of the RC-S956 (RC-S330, RC-S360, RC-S370): command identifier
// D4, polling through InListPassiveTarget, card frames through InCommunicateThru.
#pragma once

#include "felicausb/FelicaChip.h"

class CRcs956Chip final : public CFelicaChip {
public:
    explicit CRcs956Chip(IUsbDevice& device);

    EChipResult Setup() override;
    EChipResult Poll(uint16_t systemCode, uint8_t timeSlot, ByteVector& answer) override;
    EChipResult Exchange(const ByteVector& command, std::chrono::microseconds timeout, ByteVector& answer) override;
    std::string Firmware() override;
    void Shutdown() override;

    static constexpr uint8_t kGetFirmwareVersion = 0x02;
    static constexpr uint8_t kResetMode = 0x18;
    static constexpr uint8_t kRfConfiguration = 0x32;
    static constexpr uint8_t kInCommunicateThru = 0x42;
    static constexpr uint8_t kInListPassiveTarget = 0x4A;

    // The InCommunicateThru timeout index of RFConfiguration item 02 that covers timeout:
    // index n waits 100 us x 2^(n-1), n from 1 to 16.
    static uint8_t CommTimeoutIndex(std::chrono::microseconds timeout);

private:
    // Back to mode 0, the only one in which the chip takes every command: ResetMode, an
    // acknowledgement, and a pause for the chip to get there.
    EChipResult ResetMode();
    EChipResult Configure(const ByteVector& item);

    bool m_bFieldOn = false;
    uint8_t m_nCommTimeoutIndex = 0; // as last set; 0 before Setup
};
