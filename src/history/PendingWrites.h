// Writes the history archive could not take because another program held it:
// each one a small file in a folder beside the archive, taken in at the next open.
#pragma once

#include "card/EntryInfo.h"
#include "card/HistoryBlock.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct SPendingWrite {
    enum class Kind : uint8_t { Read = 1, Import = 2, Edit = 3 };
    Kind kind = Kind::Read;
    IdmBytes idm{};                // the card of a read
    HistoryBlockList blocks;       // a read's blocks, newest first
    CEntryList entries;            // a read's or an import's entries, or the edited ones
    std::vector<int64_t> ids;      // the archive key of each edited entry
};

class CPendingWrites {
public:
    // The folder beside the archive: "<archive>.pending".
    explicit CPendingWrites(const QString& archivePath);

    const QString& Folder() const { return m_strFolder; }
    // Writes one more file, whole or not at all; false with the reason in error.
    bool Keep(const SPendingWrite& write, QString& error) const;
    // The files waiting, oldest first.
    QStringList Files() const;
    // False for a file that is no pending write (cut short, or of another program).
    static bool Load(const QString& file, SPendingWrite& write);
    // Done with: removed. Refused by the archive: kept aside as "<file>.rejected".
    static void Remove(const QString& file);
    static void SetAside(const QString& file);

private:
    QString m_strFolder;
};
