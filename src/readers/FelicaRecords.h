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

// The nine exports, declared once for the library that defines them and for the module that
// looks them up by name. Every export answers non-zero for true.
#define FELICA_EXPORT __attribute__((visibility("default")))
FELICA_EXPORT int initialize_library();
FELICA_EXPORT int dispose_library();
FELICA_EXPORT int open_reader_writer_auto();
FELICA_EXPORT int polling_and_get_card_information(FelicaPollingRequest* request, uint8_t* number_of_cards,
                                                   FelicaCardInformation* card);
FELICA_EXPORT int read_block_without_encryption(FelicaReadRequest* request, FelicaReadResult* result);
FELICA_EXPORT int get_last_error_types(int* error_type1, int* error_type2);
FELICA_EXPORT int get_version_information(char* text); // 256 bytes
FELICA_EXPORT int get_version_number(int* number);
FELICA_EXPORT int reader_writer_is_alive(int* alive);

using FelicaInitializeLibrary = decltype(&initialize_library);
using FelicaDisposeLibrary = decltype(&dispose_library);
using FelicaOpenReaderWriterAuto = decltype(&open_reader_writer_auto);
using FelicaPollingAndGetCardInformation = decltype(&polling_and_get_card_information);
using FelicaReadBlockWithoutEncryption = decltype(&read_block_without_encryption);
using FelicaGetLastErrorTypes = decltype(&get_last_error_types);
using FelicaGetVersionInformation = decltype(&get_version_information);
using FelicaGetVersionNumber = decltype(&get_version_number);
using FelicaReaderWriterIsAlive = decltype(&reader_writer_is_alive);

} // extern "C"

// Second value of get_last_error_types: the reader or the card stopped answering in the
// middle of a block read, so the blocks read so far are not to be trusted.
constexpr int kFelicaReadError = 0x98;
// Second value after open_reader_writer_auto found no supported reader at all.
constexpr int kFelicaNoReaderError = 0x01;
