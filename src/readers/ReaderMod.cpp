#include "readers/ReaderMod.h"

int CReaderMod::Polling(uint8_t*, uint8_t*, uint16_t, uint8_t, uint8_t)
{
    return 0;
}

int CReaderMod::ReadBlocks(const uint8_t*, uint16_t, uint16_t, HistoryBlockList*, uint8_t)
{
    return 0;
}

int CReaderMod::SetReaderMode(uint8_t)
{
    return 0;
}

int CReaderMod::ApplyReaderMode(uint8_t)
{
    return 0;
}

int CReaderMod::GetReaderMode(uint8_t*)
{
    return 0;
}
