// Card reads made of blocks, and a private archive file for each test.
#pragma once

#include "card/HistoryDecoder.h"
#include "history/HistoryArchive.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

inline constexpr IdmBytes kCardA = {0x01, 0x01, 0x03, 0x12, 0xA4, 0xB5, 0xC6, 0xD7};
inline constexpr IdmBytes kCardB = {0x01, 0x2E, 0x4C, 0x00, 0x12, 0xAB, 0xCD, 0xEF};

// A rail fare block: terminal 0x16, process 0x01, line 1 from station `from` to `to`.
inline HistoryBlock FareBlock(int64_t sequence, QDate day, int balance, uint8_t from = 1, uint8_t to = 2,
                              uint8_t processKind = 0x01)
{
    const int date = (day.year() - 2000) << 9 | day.month() << 5 | day.day();
    return {0x16, processKind, 0x00, 0x00,
            static_cast<uint8_t>(date >> 8), static_cast<uint8_t>(date),
            0x01, from, 0x01, to,
            static_cast<uint8_t>(balance), static_cast<uint8_t>(balance >> 8),
            static_cast<uint8_t>(sequence >> 16), static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence),
            0x00};
}

// What one successful read hands over: blocks newest first, entries oldest first,
// decoded as the read pass does when the archive knows nothing before the oldest.
struct SCardRead {
    IdmBytes idm{};
    HistoryBlockList blocks;
    CEntryList entries;
};

inline SCardRead MakeRead(const IdmBytes& idm, HistoryBlockList blocksNewestFirst)
{
    SCardRead read{idm, std::move(blocksNewestFirst), {}};
    int32_t previous = -1;
    for (auto block = read.blocks.rbegin(); block != read.blocks.rend(); ++block)
        read.entries.push_back(DecodeHistoryBlock(*block, idm, previous));
    return read;
}

// A commuter's records numbered first .. first + count - 1: two trips a day from
// firstDay, 150 yen each from a balance of 10,000 before record 0 (so record k
// leaves 10000 - 150 * (k + 1)). Newest first, as a read returns them.
inline HistoryBlockList Commute(int64_t first, int count, QDate firstDay = QDate(2024, 5, 1), int from = 0)
{
    HistoryBlockList blocks;
    for (int k = from + count - 1; k >= from; --k)
        blocks.push_back(FareBlock((first + k) % (int64_t{1} << 24), firstDay.addDays(k / 2), 10000 - 150 * (k + 1),
                                   static_cast<uint8_t>(1 + k % 2), static_cast<uint8_t>(2 - k % 2)));
    return blocks;
}

// A second connection, as another program holding the archive would have.
class CRawConnection {
public:
    explicit CRawConnection(const QString& path) { sqlite3_open(QFile::encodeName(path).constData(), &m_db); }
    ~CRawConnection() { sqlite3_close(m_db); }
    CRawConnection(const CRawConnection&) = delete;
    CRawConnection& operator=(const CRawConnection&) = delete;

    bool Exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    int64_t Integer(const char* sql)
    {
        sqlite3_stmt* statement = nullptr;
        int64_t value = -1;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
            value = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        return value;
    }

private:
    sqlite3* m_db = nullptr;
};

class ArchiveTest : public testing::Test {
protected:
    QString ArchivePath() const { return m_dir.filePath(QStringLiteral("data/history.sqlite")); }

    bool Merge(CHistoryArchive& archive, const SCardRead& read, SMergeOutcome* outcome = nullptr)
    {
        const bool merged = archive.MergeRead(read.idm, read.blocks, read.entries, outcome);
        EXPECT_TRUE(merged) << archive.LastError().toStdString();
        return merged;
    }

    CEntryList Entries(CHistoryArchive& archive, SArchiveQuery query = {}, std::vector<int64_t>* keys = nullptr)
    {
        CEntryList entries;
        std::vector<int64_t> ids;
        EXPECT_TRUE(archive.Entries(query, entries, ids)) << archive.LastError().toStdString();
        if (keys)
            *keys = ids;
        return entries;
    }

    static QByteArray FileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};
