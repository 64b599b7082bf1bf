// What the coordinator would make of each reader the PC/SC service lists: the module it
// would choose or why none, the card on it and the IDm one polling gives. For people whose
// reader is not taken; nothing here writes a reader mode.
#pragma once

#include <PCSC/wintypes.h>

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

struct SReaderReport {
    QString name;
    int readerType = 0;   // 0: no module serves it
    QString module;       // the module and reader type, or why none
    bool cardPresent = false;
    std::vector<uint8_t> atr;
    std::optional<std::array<uint8_t, 8>> idm; // set when a polling answered
    uint16_t systemCode = 0;                   // the system code that answered
};

// Fills reports in the service's order; the result is the PC/SC code of establishing the
// context or listing the readers.
LONG SurveyPcscReaders(std::vector<SReaderReport>& reports);
