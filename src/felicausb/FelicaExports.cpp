// The nine exports of the FeliCa library over one reader session for the whole process.
#include "felicausb/FelicaUsbReader.h"
#include "readers/FelicaRecords.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

// Major version 1, minor 0.
constexpr int kLibraryVersion = 0x0100;
constexpr size_t kVersionTextSize = 256;

std::mutex g_mutex;

CFelicaUsbReader& Session()
{
    static CFelicaUsbReader session;
    return session;
}

CFelicaUsbReader::CardId ToCardId(const uint8_t* bytes)
{
    CFelicaUsbReader::CardId id{};
    std::copy_n(bytes, id.size(), id.begin());
    return id;
}

} // namespace

extern "C" {

int initialize_library()
{
    std::lock_guard lock(g_mutex);
    if (!Session().IsInitialized())
        Session().Initialize(CreateUsbBus());
    return 1;
}

int dispose_library()
{
    std::lock_guard lock(g_mutex);
    Session().Dispose();
    return 1;
}

int open_reader_writer_auto()
{
    std::lock_guard lock(g_mutex);
    return Session().Open() ? 1 : 0;
}

int polling_and_get_card_information(FelicaPollingRequest* request, uint8_t* number_of_cards,
                                     FelicaCardInformation* card)
{
    if (!request || !request->system_code || !number_of_cards || !card || !card->card_idm || !card->card_pmm)
        return 0;
    std::lock_guard lock(g_mutex);
    *number_of_cards = 0;
    const uint16_t systemCode = static_cast<uint16_t>(request->system_code[0] << 8 | request->system_code[1]);
    CFelicaUsbReader::CardId idm{};
    CFelicaUsbReader::CardId pmm{};
    if (!Session().Poll(systemCode, request->time_slot, idm, pmm))
        return 0;
    *number_of_cards = 1;
    std::copy(idm.begin(), idm.end(), card->card_idm);
    std::copy(pmm.begin(), pmm.end(), card->card_pmm);
    return 1;
}

int read_block_without_encryption(FelicaReadRequest* request, FelicaReadResult* result)
{
    // One service and one two-byte block list element, as the module asks.
    if (!request || !result || !request->card_idm || !request->service_code_list || !request->block_list
        || request->number_of_services != 1 || request->number_of_blocks != 1 || request->block_list[0] != 0x80
        || !result->status_flag1 || !result->status_flag2 || !result->result_number_of_blocks || !result->block_data)
        return 0;
    std::lock_guard lock(g_mutex);
    const uint16_t serviceCode =
        static_cast<uint16_t>(request->service_code_list[0] | request->service_code_list[1] << 8);
    SFelicaBlock block;
    if (!Session().ReadBlock(ToCardId(request->card_idm), serviceCode, request->block_list[1], block))
        return 0;
    *result->status_flag1 = block.statusFlag1;
    *result->status_flag2 = block.statusFlag2;
    *result->result_number_of_blocks = block.statusFlag1 == 0 ? 1 : 0;
    if (block.statusFlag1 == 0)
        std::copy(block.data.begin(), block.data.end(), result->block_data);
    return 1;
}

int get_last_error_types(int* error_type1, int* error_type2)
{
    if (!error_type1 || !error_type2)
        return 0;
    std::lock_guard lock(g_mutex);
    *error_type1 = Session().ErrorType1();
    *error_type2 = Session().ErrorType2();
    return 1;
}

int get_version_information(char* text)
{
    if (!text)
        return 0;
    std::lock_guard lock(g_mutex);
    const std::string version = Session().VersionText();
    if (version.empty())
        return 0;
    const size_t length = std::min(version.size(), kVersionTextSize - 1);
    std::memcpy(text, version.data(), length);
    text[length] = '\0';
    return 1;
}

int get_version_number(int* number)
{
    if (!number)
        return 0;
    *number = kLibraryVersion;
    return 1;
}

int reader_writer_is_alive(int* alive)
{
    if (!alive)
        return 0;
    std::lock_guard lock(g_mutex);
    *alive = Session().IsAlive() ? 1 : 0;
    return 1;
}

} // extern "C"
