// Identiv and Identive readers: CPcscMod with a sub-command byte in its escape frames and
// mode values of their own.
#pragma once

#include "readers/PcscMod.h"

class CPcscCloud : public CPcscMod {
public:
    using CPcscMod::CPcscMod;

    int SetReaderMode(uint8_t bMode) override;
    int ApplyReaderMode(uint8_t nIndex) override;
    int GetReaderMode(uint8_t* pMode) override;
};
