// Control of the fake vendor FeliCa library: what its exports answer and what they were given.
// Tests reach it with dlsym("fake_felica_state") on the loaded fake.
#pragma once

#include <cstdint>
#include <string>

struct FakeFelicaState {
    // Answers.
    int initializeResult = 1;
    int disposeResult = 1;
    int openResult = 1;
    int pollingResult = 1;
    uint8_t cardCount = 1;
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    int readableBlocks = 0;      // reading a block from this number on answers false
    uint8_t blocks[32][16] = {};
    uint8_t statusFlag1[32] = {};
    uint8_t statusFlag2[32] = {};
    int errorType1 = 0;
    int errorType2 = 0;
    int versionResult = 1;
    char versionText[256] = {};
    int versionNumber = 0;
    int alive = 1;

    // What the exports were called with.
    std::string calls;           // export names, one blank after each
    uint8_t polledSystemCode[2] = {};
    uint8_t polledTimeSlot = 0xFF;
    uint8_t readIdm[8] = {};
    int readServices = -1;
    uint8_t readServiceCode[2] = {};
    int readBlockCount = -1;
    uint8_t readBlockList[32][2] = {};
    int reads = 0;
};

using FakeFelicaStateFn = FakeFelicaState* (*)();
