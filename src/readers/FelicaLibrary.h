// Loader of the vendor FeliCa library: finds it by path at run time and its nine exports
// by name. A missing export keeps a stub that fails, so an
// incomplete library fails the operations that need it instead of crashing.
#pragma once

#include "readers/FelicaRecords.h"

#include <QString>

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

// "<common files>/Sony Shared/FeliCaLibrary/libfelica.so". The common files folder is
// VOLUNI_COMMON_FILES_DIR when set, else the lib folder beside the program's folder
// (/usr/lib for /usr/bin/voluni-viewer).
QString FelicaLibraryPath();

// Loads the library at path and fills entries by name, reporting each missing export on
// standard error. Returns the handle, or nullptr (entries untouched) when it does not load.
void* LoadFelicaLibrary(const QString& path, FelicaEntryPoints& entries);
void UnloadFelicaLibrary(void* hLibrary);
