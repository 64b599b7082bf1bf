#include "history/PendingWrites.h"

#include "document/ArchiveError.h"
#include "document/ArchiveReader.h"
#include "document/ArchiveWriter.h"
#include "document/EntryRecord.h"
#include "document/OutputFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <atomic>

#include <unistd.h>

namespace {

const QString kSuffix = QStringLiteral(".pending");
// Version 2 adds the gate times of each entry; a file of version 1 has none.
const QString kHeader = QStringLiteral("<## Voluni pending write 2 ##>");
const QString kHeaderWithoutTimes = QStringLiteral("<## Voluni pending write 1 ##>");
// Far more than a card holds; a larger count is a damaged file.
constexpr uint32_t kMaxItems = 1'000'000;

void Store(CArchiveWriter& ar, const SPendingWrite& write)
{
    ar.WriteText(kHeader);
    ar.WriteByte(static_cast<uint8_t>(write.kind));
    ar.WriteBytes(write.idm.data(), static_cast<qsizetype>(write.idm.size()));
    ar.WriteUInt32(static_cast<uint32_t>(write.blocks.size()));
    for (const HistoryBlock& block : write.blocks)
        ar.WriteBytes(block.data(), static_cast<qsizetype>(block.size()));
    ar.WriteUInt32(static_cast<uint32_t>(write.entries.size()));
    for (const auto& entry : write.entries)
        WriteEntryRecord(ar, *entry);
    ar.WriteUInt32(static_cast<uint32_t>(write.ids.size()));
    for (const int64_t id : write.ids)
        ar.WriteInt64(id);
    for (const auto& entry : write.entries) {
        ar.WriteUInt16(static_cast<uint16_t>(entry->entryTime));
        ar.WriteUInt16(static_cast<uint16_t>(entry->exitTime));
    }
    ar.Flush();
}

uint32_t ReadCount(CArchiveReader& ar)
{
    const uint32_t count = ar.ReadUInt32();
    if (count > kMaxItems)
        throw CArchiveError(CArchiveError::Kind::Generic);
    return count;
}

}  // namespace

CPendingWrites::CPendingWrites(const QString& archivePath)
    : m_strFolder(archivePath + kSuffix)
{
}

bool CPendingWrites::Keep(const SPendingWrite& write, QString& error) const
{
    if (!QDir().mkpath(m_strFolder)) {
        error = m_strFolder + QStringLiteral(": the folder cannot be made");
        return false;
    }
    // Time, process and a count of this process: two writers never pick one name.
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("%1-%2-%3")
                             .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz")))
                             .arg(getpid())
                             .arg(counter++);
    const QString path = QDir(m_strFolder).filePath(name + kSuffix);
    QString reason;
    const bool kept = WriteOutputFile(
        path,
        [&write](QIODevice& device) {
            CArchiveWriter ar(device);
            try {
                Store(ar, write);
            } catch (const CArchiveError&) {
                return false;
            }
            return true;
        },
        reason);
    if (!kept)
        error = path + QStringLiteral(": ") + reason;
    return kept;
}

QStringList CPendingWrites::Files() const
{
    const QDir folder(m_strFolder);
    QStringList files;
    for (const QString& name : folder.entryList({QStringLiteral("*") + kSuffix}, QDir::Files, QDir::Name))
        files << folder.filePath(name);
    return files;
}

bool CPendingWrites::Load(const QString& file, SPendingWrite& write)
{
    QFile device(file);
    if (!device.open(QIODevice::ReadOnly))
        return false;
    CArchiveReader ar(device);
    try {
        const QString header = ar.ReadText();
        if (header != kHeader && header != kHeaderWithoutTimes)
            return false;
        const uint8_t kind = ar.ReadByte();
        if (kind < 1 || kind > 3)
            return false;
        write.kind = static_cast<SPendingWrite::Kind>(kind);
        ar.ReadBytes(write.idm.data(), static_cast<qsizetype>(write.idm.size()));
        write.blocks.resize(ReadCount(ar));
        for (HistoryBlock& block : write.blocks)
            ar.ReadBytes(block.data(), static_cast<qsizetype>(block.size()));
        const uint32_t entries = ReadCount(ar);
        for (uint32_t i = 0; i < entries; ++i) {
            write.entries.push_back(std::make_unique<CEntryInfo>());
            ReadEntryRecord(ar, EntryFileVersion::V3, *write.entries.back());
        }
        write.ids.resize(ReadCount(ar));
        for (int64_t& id : write.ids)
            id = ar.ReadInt64();
        for (size_t i = 0; header == kHeader && i < write.entries.size(); ++i) {
            write.entries[i]->entryTime = static_cast<int16_t>(ar.ReadUInt16());
            write.entries[i]->exitTime = static_cast<int16_t>(ar.ReadUInt16());
        }
    } catch (const CArchiveError&) {
        return false;
    }
    return true;
}

void CPendingWrites::Remove(const QString& file)
{
    QFile::remove(file);
}

void CPendingWrites::SetAside(const QString& file)
{
    QFile::rename(file, file + QStringLiteral(".rejected"));
}
