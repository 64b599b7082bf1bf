#include "card/AppMessage.h"
#include "app/CorvaneApp.h"
#include "app/MainFrame.h"
#include "card/HistoryDecoder.h"
#include "document/CorvaneDoc.h"
#include "history/HistoryArchive.h"
#include "view/CorvaneForm.h"
#include "SampleEntries.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTableView>
#include "view/HistoryModel.h"
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {

class CorvaneAppTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QSettings(QStringLiteral("Ombrel"), QStringLiteral("Voluni_Viewer")).clear();
        m_previous = SetMessagePresenter([this](const QString& text, MessageIcon) { messages << text; });
    }

    void TearDown() override { SetMessagePresenter(m_previous); }

    std::unique_ptr<CCorvaneApp> MakeApp(const QStringList& files, const QString& lockPath = QString())
    {
        auto app = std::make_unique<CCorvaneApp>(QStringList{QStringLiteral("voluni-viewer")} + files,
                                                 lockPath.isEmpty() ? folder.filePath(QStringLiteral("Voluni_Viewer.lock"))
                                                                    : lockPath);
        // No reader is touched by these tests.
        app->SetReaderHooks({});
        return app;
    }

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static QByteArray SampleBytes()
    {
        CEntryInfoData data;
        data.m_entries = MakeSampleEntries();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        data.Store(buffer);
        return bytes;
    }

    static int ShownRows(const CCorvaneApp& app)
    {
        return app.MainFrame()->GetActiveView()->Model()->rowCount();
    }

    static QStringList StoredKeys(const QString& group)
    {
        QSettings store(QStringLiteral("Ombrel"), QStringLiteral("Voluni_Viewer"));
        store.beginGroup(group);
        return store.childKeys();
    }

    QTemporaryDir folder;
    QStringList messages;

private:
    MessagePresenter m_previous;
};

TEST_F(CorvaneAppTest, ValidFileShowsItsEntriesAndJoinsTheRecentFiles)
{
    const QString path = WriteFile(QStringLiteral("week.ent"), SampleBytes());
    auto app = MakeApp({path});
    ASSERT_TRUE(app->InitInstance());
    EXPECT_EQ(ShownRows(*app), static_cast<int>(MakeSampleEntries().size()));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(app->RecentFiles().Files(), QStringList{path});

    EXPECT_EQ(app->ExitInstance(), 0);
    EXPECT_EQ(app->m_pProfile, nullptr);
    EXPECT_EQ(StoredKeys(QStringLiteral("Settings/Profile")).size(), 31);
    QSettings store(QStringLiteral("Ombrel"), QStringLiteral("Voluni_Viewer"));
    EXPECT_EQ(store.value(QStringLiteral("Recent File List/File1")).toString(), path);
    // The view's widths reached the settings before they were written.
    EXPECT_EQ(store.value(QStringLiteral("Settings/Profile/ListControlWidth")).toString(),
              QStringLiteral("-1,80,120,-1,120,120,-1,120,80,80,-1,120"));
}

TEST_F(CorvaneAppTest, NoFileGivesAnEmptyList)
{
    auto app = MakeApp({});
    ASSERT_TRUE(app->InitInstance());
    EXPECT_EQ(ShownRows(*app), 0);
    EXPECT_TRUE(app->Document()->m_data.m_entries.empty());
    app->ExitInstance();
}

TEST_F(CorvaneAppTest, ZeroLengthFileOpensEmptyWithoutAMessage)
{
    auto app = MakeApp({WriteFile(QStringLiteral("empty.ent"), QByteArray())});
    ASSERT_TRUE(app->InitInstance());
    EXPECT_EQ(ShownRows(*app), 0);
    EXPECT_TRUE(messages.isEmpty());
    app->ExitInstance();
}

TEST_F(CorvaneAppTest, TruncatedFileShowsTheFormatMessageAndEndsAfterWritingTheSettings)
{
    const QByteArray whole = SampleBytes();
    auto app = MakeApp({WriteFile(QStringLiteral("cut.ent"), whole.left(whole.size() - 7))});
    EXPECT_FALSE(app->InitInstance());
    EXPECT_EQ(messages, QStringList{QStringLiteral("予期しないファイル形式です。")});
    EXPECT_EQ(app->MainFrame(), nullptr);
    EXPECT_TRUE(app->Document()->m_data.m_entries.empty());
    EXPECT_NE(app->ExitInstance(), 0);
    EXPECT_EQ(StoredKeys(QStringLiteral("Settings/Profile")).size(), 31);
    EXPECT_TRUE(StoredKeys(QStringLiteral("Recent File List")).isEmpty());
}

TEST_F(CorvaneAppTest, MissingFileIsReportedAndEnds)
{
    auto app = MakeApp({folder.filePath(QStringLiteral("absent.ent"))});
    EXPECT_FALSE(app->InitInstance());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("ドキュメントを開くことに失敗しました。")));
    app->ExitInstance();
}

TEST_F(CorvaneAppTest, SecondInstanceIsRefusedAndTouchesNoSettings)
{
    auto first = MakeApp({});
    ASSERT_TRUE(first->InitInstance());
    auto second = MakeApp({});
    EXPECT_FALSE(second->InitInstance());
    EXPECT_EQ(messages, QStringList{QStringLiteral("すでに起動されています。")});
    EXPECT_EQ(second->m_pProfile, nullptr);
    second->ExitInstance();
    EXPECT_TRUE(StoredKeys(QStringLiteral("Settings/Profile")).isEmpty());

    // The refused start released nothing of the first one's.
    auto third = MakeApp({});
    EXPECT_FALSE(third->InitInstance());
    third->ExitInstance();
    first->ExitInstance();
    auto fourth = MakeApp({});
    EXPECT_TRUE(fourth->InitInstance());
    fourth->ExitInstance();
}

TEST_F(CorvaneAppTest, LockThatCannotBeMadeStartsWithoutAMessage)
{
    // A regular file where the lock's folder should be: no lock can be made in it.
    const QString notAFolder = WriteFile(QStringLiteral("runtime"), QByteArray("x"));
    auto app = MakeApp({}, notAFolder + QStringLiteral("/Voluni_Viewer.lock"));
    EXPECT_TRUE(app->InitInstance());
    EXPECT_TRUE(messages.isEmpty());
    app->ExitInstance();
}

TEST_F(CorvaneAppTest, StartSaysTheDayToReadTheLastCardByHasPassed)
{
    // Two fares on 1 and 2 May 2024, read then: the day to read the card by is long past.
    const IdmBytes idm = {0x01, 0x01, 0x03, 0x12, 0xA4, 0xB5, 0xC6, 0xD7};
    const HistoryBlockList blocks = {
        {0x16, 0x01, 0x00, 0x00, 0x30, 0xA2, 0x01, 0x02, 0x01, 0x01, 0xC8, 0x23, 0x00, 0x00, 0x02, 0x00},
        {0x16, 0x01, 0x00, 0x00, 0x30, 0xA1, 0x01, 0x01, 0x01, 0x02, 0x9A, 0x24, 0x00, 0x00, 0x01, 0x00},
    };
    CEntryList entries;
    int32_t previous = -1;
    for (auto block = blocks.rbegin(); block != blocks.rend(); ++block)
        entries.push_back(DecodeHistoryBlock(*block, idm, previous));
    const QString path = folder.filePath(QStringLiteral("history.sqlite"));
    ASSERT_TRUE(CHistoryArchive(path).MergeRead(idm, blocks, entries));

    auto app = MakeApp({});
    app->SetArchivePath(path);
    ASSERT_TRUE(app->InitInstance());
    // Two records over two days: 20 more in 20 days.
    EXPECT_EQ(app->MainFrame()->NotePane()->text(),
              QStringLiteral("前回読み込んだカード（01010312A4B5C6D7）の次回の読込目安 2024/05/22 を過ぎています。"
                             "カードを読み込んでください。"));
    app->ExitInstance();
}

TEST_F(CorvaneAppTest, AboutWithoutDatabaseSaysNotConnected)
{
    auto app = MakeApp({});
    ASSERT_TRUE(app->InitInstance());
    // Test programs have no station database beside them.
    EXPECT_EQ(app->StationDbVersionText(), QStringLiteral("(mdb未接続)"));
    app->ExitInstance();
}

} // namespace
