// The PN53x-style command set of the RC-S956 (RC-S330, RC-S360, RC-S370): command identifier
// D4, polling through InListPassiveTarget, card frames through InCommunicateThru.
#pragma once

#include "felicausb/FelicaChip.h"

class CRcs956Chip final : public CFelicaChip {
public:
    explicit CRcs956Chip(IUsbDevice& device);

    EChipResult Setup() override;
    EChipResult Poll(uint16_t systemCode, uint8_t timeSlot, ByteVector& answer) override;
    EChipResult Exchange(const ByteVector& command, unsigned timeoutMs, ByteVector& answer) override;
    std::string Firmware() override;
    void Shutdown() override;

    static constexpr uint8_t kGetFirmwareVersion = 0x02;
    static constexpr uint8_t kResetMode = 0x18;
    static constexpr uint8_t kRfConfiguration = 0x32;
    static constexpr uint8_t kInCommunicateThru = 0x42;
    static constexpr uint8_t kInListPassiveTarget = 0x4A;
};
