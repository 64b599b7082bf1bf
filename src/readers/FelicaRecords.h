// The records and exports of the vendor FeliCa library, as this program calls them.
#pragma once

#include <cstdint>

// Records as the library takes them: plain C layout, natural alignment.
extern "C" {

struct FelicaPollingRequest {
    const uint8_t* system_code; // 2 bytes, high byte first
    uint8_t time_slot;
};

struct FelicaCardInformation {
    uint8_t* card_idm; // 8 bytes
    uint8_t* card_pmm; // 8 bytes
};

struct FelicaReadRequest {
    const uint8_t* card_idm;          // 8 bytes
    uint8_t number_of_services;
    const uint8_t* service_code_list; // 2 bytes per service, low byte first
    uint8_t number_of_blocks;
    const uint8_t* block_list;        // 2 bytes per block: 0x80, block number
};

struct FelicaReadResult {
    uint8_t* status_flag1;
    uint8_t* status_flag2;
    uint8_t* result_number_of_blocks;
    uint8_t* block_data; // 16 bytes per block
};

// Every export answers non-zero for true.
using FelicaInitializeLibrary = int (*)();
using FelicaDisposeLibrary = int (*)();
using FelicaOpenReaderWriterAuto = int (*)();
using FelicaPollingAndGetCardInformation = int (*)(FelicaPollingRequest*, uint8_t* number_of_cards,
                                                   FelicaCardInformation*);
using FelicaReadBlockWithoutEncryption = int (*)(FelicaReadRequest*, FelicaReadResult*);
using FelicaGetLastErrorTypes = int (*)(int* error_type1, int* error_type2);
using FelicaGetVersionInformation = int (*)(char* text); // 256 bytes
using FelicaGetVersionNumber = int (*)(int* number);
using FelicaReaderWriterIsAlive = int (*)(int* alive);

} // extern "C"
