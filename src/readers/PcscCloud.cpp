#include "readers/PcscCloud.h"

int CPcscCloud::SetReaderMode(uint8_t bMode)
{
    Frame answer;
    return Escape(Frame{0x95, 0xFF, bMode}, kLongAnswer, answer) ? 1 : 0;
}

int CPcscCloud::ApplyReaderMode(uint8_t nIndex)
{
    static constexpr ReaderModes kModes = {0xFF, 0x60};
    return ApplyModeFrom(kModes, nIndex);
}

int CPcscCloud::GetReaderMode(uint8_t* pMode)
{
    return QueryReaderMode(Frame{0x94, 0xFF}, pMode);
}
