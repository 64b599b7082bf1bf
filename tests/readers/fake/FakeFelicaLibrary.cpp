// A stand-in for the vendor FeliCa library with the nine exports, answering as its state says.
// Built a second time with FAKE_FELICA_PARTIAL, lacking three of them.
#include "FakeFelica.h"
#include "readers/FelicaRecords.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace {

FakeFelicaState g_state;

void Record(const char* name)
{
    g_state.calls += name;
    g_state.calls += ' ';
}

} // namespace

extern "C" {

FakeFelicaState* fake_felica_state()
{
    return &g_state;
}

int initialize_library()
{
    Record("initialize_library");
    return g_state.initializeResult;
}

int dispose_library()
{
    Record("dispose_library");
    return g_state.disposeResult;
}

int open_reader_writer_auto()
{
    Record("open_reader_writer_auto");
    return g_state.openResult;
}

int polling_and_get_card_information(FelicaPollingRequest* request,
                                                                            uint8_t* number_of_cards,
                                                                            FelicaCardInformation* card)
{
    Record("polling_and_get_card_information");
    std::copy_n(request->system_code, 2, g_state.polledSystemCode);
    g_state.polledTimeSlot = request->time_slot;
    if (!g_state.pollingResult)
        return 0;
    *number_of_cards = g_state.cardCount;
    std::copy_n(g_state.idm, 8, card->card_idm);
    std::copy_n(g_state.pmm, 8, card->card_pmm);
    return 1;
}

#ifndef FAKE_FELICA_PARTIAL
int read_block_without_encryption(FelicaReadRequest* request,
                                                                         FelicaReadResult* result)
{
    Record("read_block_without_encryption");
    std::copy_n(request->card_idm, 8, g_state.readIdm);
    g_state.readServices = request->number_of_services;
    std::copy_n(request->service_code_list, 2, g_state.readServiceCode);
    g_state.readBlockCount = request->number_of_blocks;
    const int n = request->block_list[1];
    if (g_state.reads < 32)
        std::copy_n(request->block_list, 2, g_state.readBlockList[g_state.reads]);
    ++g_state.reads;
    if (n >= g_state.readableBlocks || n >= 32)
        return 0;
    *result->status_flag1 = g_state.statusFlag1[n];
    *result->status_flag2 = g_state.statusFlag2[n];
    *result->result_number_of_blocks = 1;
    std::copy_n(g_state.blocks[n], 16, result->block_data);
    return 1;
}
#endif

int get_last_error_types(int* type1, int* type2)
{
    Record("get_last_error_types");
    *type1 = g_state.errorType1;
    *type2 = g_state.errorType2;
    return 1;
}

#ifndef FAKE_FELICA_PARTIAL
int get_version_information(char* text)
{
    Record("get_version_information");
    std::memcpy(text, g_state.versionText, sizeof g_state.versionText);
    return g_state.versionResult;
}
#endif

int get_version_number(int* number)
{
    Record("get_version_number");
    *number = g_state.versionNumber;
    return 1;
}

#ifndef FAKE_FELICA_PARTIAL
int reader_writer_is_alive(int* alive)
{
    Record("reader_writer_is_alive");
    *alive = g_state.alive;
    return 1;
}
#endif

} // extern "C"

// The fake must take exactly what the module passes.
static_assert(std::is_same_v<decltype(&initialize_library), FelicaInitializeLibrary>);
static_assert(std::is_same_v<decltype(&dispose_library), FelicaDisposeLibrary>);
static_assert(std::is_same_v<decltype(&open_reader_writer_auto), FelicaOpenReaderWriterAuto>);
static_assert(std::is_same_v<decltype(&polling_and_get_card_information), FelicaPollingAndGetCardInformation>);
#ifndef FAKE_FELICA_PARTIAL
static_assert(std::is_same_v<decltype(&read_block_without_encryption), FelicaReadBlockWithoutEncryption>);
#endif
static_assert(std::is_same_v<decltype(&get_last_error_types), FelicaGetLastErrorTypes>);
#ifndef FAKE_FELICA_PARTIAL
static_assert(std::is_same_v<decltype(&get_version_information), FelicaGetVersionInformation>);
#endif
static_assert(std::is_same_v<decltype(&get_version_number), FelicaGetVersionNumber>);
#ifndef FAKE_FELICA_PARTIAL
static_assert(std::is_same_v<decltype(&reader_writer_is_alive), FelicaReaderWriterIsAlive>);
#endif
