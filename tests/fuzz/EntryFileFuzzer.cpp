// libFuzzer target for loading entry files: any input must load or fail with a
// known error, and whatever loads must store and load back to the same bytes.
#include "document/ArchiveError.h"
#include "document/EntryInfoData.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

QByteArray StoreAtTimeZero(CEntryInfoData& data)
{
    data.m_time = 0;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    data.Store(buffer);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer;
    buffer.setData(input);
    buffer.open(QIODevice::ReadOnly);

    CEntryInfoData loaded;
    try {
        loaded.Load(buffer);
    } catch (const CArchiveError&) {
        if (!loaded.m_entries.empty())
            std::abort();
        return 0;
    } catch (const std::bad_alloc&) {
        if (!loaded.m_entries.empty())
            std::abort();
        return 0;
    }
    if (loaded.m_entries.empty())
        return 0;

    const QByteArray stored = StoreAtTimeZero(loaded);
    QBuffer again;
    again.setData(stored);
    again.open(QIODevice::ReadOnly);
    CEntryInfoData reloaded;
    reloaded.Load(again);
    if (StoreAtTimeZero(reloaded) != stored)
        std::abort();
    return 0;
}
