// The vendor FeliCa library, loaded at run time by path: its records, its nine exports and
// the loader that finds them by name. A missing export keeps a stub that fails, so an
// incomplete library fails the operations that need it instead of crashing.
#pragma once

#include <QString>

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

// The nine exports in the order the module keeps them, each a failing stub until found.
struct FelicaEntryPoints {
    FelicaInitializeLibrary initialize_library;
    FelicaDisposeLibrary dispose_library;
    FelicaOpenReaderWriterAuto open_reader_writer_auto;
    FelicaPollingAndGetCardInformation polling_and_get_card_information;
    FelicaReadBlockWithoutEncryption read_block_without_encryption;
    FelicaGetLastErrorTypes get_last_error_types;
    FelicaGetVersionInformation get_version_information;
    FelicaGetVersionNumber get_version_number;
    FelicaReaderWriterIsAlive reader_writer_is_alive;

    FelicaEntryPoints();
    // Both exports a block read needs were found.
    bool CanReadBlocks() const;
};

// The library's error type that marks a failed read.
constexpr int kFelicaReadError = 0x98;

// "<common files>/Sony Shared/FeliCaLibrary/libfelica.so". The common files folder is
// VOLUNI_COMMON_FILES_DIR when set, else /usr/lib.
QString FelicaLibraryPath();

// Loads the library at path and fills entries by name, reporting each missing export on
// standard error. Returns the handle, or nullptr (entries untouched) when it does not load.
void* LoadFelicaLibrary(const QString& path, FelicaEntryPoints& entries);
void UnloadFelicaLibrary(void* hLibrary);
