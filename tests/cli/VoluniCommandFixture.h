// The command-line tool run in-process with a recorded message presenter: the
// fixture and the sample inputs its tests share.
#pragma once

#include "card/AppMessage.h"
#include "card/EntryInfo.h"
#include "document/EntryInfoData.h"
#include "readers/PcscService.h"
#include "cli/VoluniCommand.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

class VoluniCommandTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("VOLUNI_COMMON_FILES_DIR", m_dir.path().toLocal8Bit().constData(), 1);
        m_previous = SetMessagePresenter([this](const QString& text, MessageIcon) { m_messages << text; });
    }

    void TearDown() override
    {
        SetMessagePresenter(m_previous);
        SetPcscService(nullptr);
    }

    int Run(QStringList args)
    {
        args.prepend(QStringLiteral("voluni"));
        return RunVoluni(args, m_output);
    }

    QString WriteFile(const QString& name, const QByteArray& bytes) const
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QJsonObject Json() const { return QJsonDocument::fromJson(m_output).object(); }

    QTemporaryDir m_dir;
    QByteArray m_output;
    QStringList m_messages;
    MessagePresenter m_previous;
};

inline std::unique_ptr<CEntryInfo> FareEntry()
{
    auto e = std::make_unique<CEntryInfo>();
    e->apply = 1;
    e->idm = {0x01, 0x2E, 0x4C, 0x00, 0x12, 0xAB, 0xCD, 0xEF};
    e->terminalKind = 0x16;
    e->processKind = 0x01;
    e->dateTime = 1609426800; // 2021/01/01 in Tokyo
    e->entryLine = 1;
    e->entryStation = 1;
    e->entryStationName = QStringLiteral("東京");
    e->entryCompany = QStringLiteral("JR東日本");
    e->exitStationName = QStringLiteral("新宿, 西口"); // a comma to quote
    e->entryLatitude = 35.681264;
    e->balance = 12345;
    e->amount = 1500;
    e->bearing = 287.5f;
    e->remarks = QStringLiteral("say \"hi\"");
    return e;
}

// Newest first: a shop purchase, a bus ride, a fare 有楽町 -> 東京, a cash charge, the oldest fare.
inline const char* const kCardImage = R"({"idm": "012E4C0012ABCDEF", "pmm": "100B4B428485D0FF", "systems": ["0003"],
  "history": [
    "C7460000 2A22 A5E0 0000 6801 000105 00",
    "050F0000 2A22 0E51 074A 6C02 000104 00",
    "16010000 2A22 0102 0101 3403 000103 00",
    "08020000 2A21 0000 0000 E803 000102 00",
    "16010000 2A21 0101 0102 0000 000101 00"]})";

inline QString Compact(const char* text)
{
    return QString::fromLatin1(text).remove(QLatin1Char(' '));
}

// A version 3 entry file holding entries, as the viewer stores it.
inline QByteArray StoredFile(CEntryList entries)
{
    CEntryInfoData data;
    data.m_time = 1700000000;
    data.m_entries = std::move(entries);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    data.Store(buffer);
    return buffer.data();
}
