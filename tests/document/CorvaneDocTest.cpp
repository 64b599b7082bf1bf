// The document: hint order, failure handling, file paths and the messages of failures.
#include "card/AppMessage.h"
#include "document/ArchiveError.h"
#include "document/CorvaneDoc.h"
#include "EntryFileBytes.h"
#include "FileSizeLimit.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <new>
#include <ostream>
#include <string>
#include <vector>

namespace {

// Notes every hint together with how many entries the document held then.
class RecordingView : public IDocumentView {
public:
    explicit RecordingView(const CCorvaneDoc& doc)
        : m_doc(doc)
    {
    }
    void OnUpdate(int hint) override
    {
        // The file name and modified flag are the frame's business, told apart.
        if (hint == HINT_DOCUMENT_STATE) {
            ++stateHints;
            return;
        }
        hints.push_back(hint);
        entryCounts.push_back(m_doc.m_data.m_entries.size());
    }
    std::vector<int> hints;
    std::vector<size_t> entryCounts;
    int stateHints = 0;

private:
    const CCorvaneDoc& m_doc;
};

QByteArray OneEntryFile()
{
    EntryFileBytes b;
    b.Text(QStringLiteral("<## EntryInfoData V3 ##>")).U32(0).Time(0).I32(1);
    b.Hex("00 01 0102030405060708 16 01 00 00").Time(1700000000);
    b.I32(500).I32(160).I32(1).I32(0).I32(0).F32(0);
    b.Text(QString()).Text(QStringLiteral("運賃支払"));
    for (int side = 0; side < 2; ++side)
        b.U8(0).I32(1).I32(2).Text(QStringLiteral("駅")).Text(QString()).Text(QString()).F64(0).F64(0);
    return b.Bytes();
}

class CorvaneDocTest : public testing::Test {
protected:
    CorvaneDocTest() { doc.AddView(&view); }
    ~CorvaneDocTest() override { doc.RemoveView(&view); }

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    CCorvaneDoc doc;
    RecordingView view{doc};
    QTemporaryDir dir;
};

}  // namespace

TEST_F(CorvaneDocTest, LoadSendsClearThenLoaded)
{
    doc.m_data.m_entries.push_back(MakeBlankEntry());
    QBuffer buffer;
    buffer.setData(OneEntryFile());
    buffer.open(QIODevice::ReadOnly);
    doc.SerializeLoad(buffer);
    EXPECT_EQ(view.hints, (std::vector<int>{HINT_CLEAR, HINT_LOADED}));
    EXPECT_EQ(view.entryCounts, (std::vector<size_t>{1, 1})) << "hint 3 comes before the old entries go";
    EXPECT_EQ(doc.m_data.m_entries[0]->remarks, QStringLiteral("運賃支払"));
}

TEST_F(CorvaneDocTest, FailedLoadSendsNoLoadedHintAndLeavesNothing)
{
    doc.m_data.m_entries.push_back(MakeBlankEntry());
    doc.m_data.m_card.kind = 3;
    QBuffer buffer;
    buffer.setData(OneEntryFile().chopped(1));
    buffer.open(QIODevice::ReadOnly);
    EXPECT_THROW(doc.SerializeLoad(buffer), CArchiveError);
    EXPECT_EQ(view.hints, (std::vector<int>{HINT_CLEAR}));
    EXPECT_TRUE(doc.m_data.m_entries.empty());
    EXPECT_EQ(doc.m_data.m_card.kind, 0);
}

TEST_F(CorvaneDocTest, StoreSendsSyncOrderFirst)
{
    doc.m_data.m_entries.push_back(MakeBlankEntry());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    doc.SerializeStore(buffer);
    EXPECT_EQ(view.hints, (std::vector<int>{HINT_SYNC_ORDER}));
    EXPECT_TRUE(buffer.data().startsWith(QByteArray::fromHex("FFFEFF18")));
}

TEST_F(CorvaneDocTest, NewDocumentSendsClearEvenWhenEmpty)
{
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(view.hints, (std::vector<int>{HINT_CLEAR, HINT_CLEAR}));
    EXPECT_TRUE(doc.GetPathName().isEmpty());
}

TEST_F(CorvaneDocTest, ModifiedFlagFollowsEditsSavesAndOpens)
{
    doc.SetModifiedFlag();
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag();
    EXPECT_EQ(view.stateHints, 1) << "only a change is told";
    doc.m_data.m_entries.push_back(MakeBlankEntry());
    const QString path = dir.filePath(QStringLiteral("saved.ent"));
    doc.OnSaveDocument(path);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), path);
    doc.SetModifiedFlag();
    doc.OnOpenDocument(path);
    EXPECT_FALSE(doc.IsModified());
    doc.ClearPathName();
    EXPECT_TRUE(doc.GetPathName().isEmpty());
    EXPECT_EQ(view.stateHints, 5);
}

TEST_F(CorvaneDocTest, FailedOpenKeepsTheOpenDocument)
{
    doc.m_data.m_entries.push_back(MakeBlankEntry());
    doc.m_data.m_entries[0]->remarks = QStringLiteral("未保存");
    doc.SetModifiedFlag();
    const QString bad = WriteFile(QStringLiteral("bad.ent"), OneEntryFile().chopped(1));
    EXPECT_THROW(doc.OnOpenDocument(bad), CArchiveError);
    ASSERT_EQ(doc.m_data.m_entries.size(), 1u);
    EXPECT_EQ(doc.m_data.m_entries[0]->remarks, QStringLiteral("未保存"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(view.hints.empty());
    EXPECT_TRUE(doc.GetPathName().isEmpty());
}

TEST_F(CorvaneDocTest, RemovedViewHearsNothing)
{
    RecordingView other(doc);
    doc.AddView(&other);
    doc.RemoveView(&view);
    doc.UpdateAllViews(HINT_SYNC_ORDER);
    EXPECT_TRUE(view.hints.empty());
    EXPECT_EQ(other.hints, (std::vector<int>{HINT_SYNC_ORDER}));
    doc.RemoveView(&other);
}

TEST_F(CorvaneDocTest, SaveThenOpenByPath)
{
    doc.m_data.m_entries.push_back(MakeBlankEntry());
    doc.m_data.m_entries[0]->destination = QStringLiteral("本社");
    const QString path = dir.filePath(QStringLiteral("trip.ent"));
    doc.OnSaveDocument(path);

    CCorvaneDoc reopened;
    reopened.OnOpenDocument(path);
    ASSERT_EQ(reopened.m_data.m_entries.size(), 1u);
    EXPECT_EQ(reopened.m_data.m_entries[0]->destination, QStringLiteral("本社"));
    EXPECT_EQ(reopened.GetPathName(), path);
}

TEST_F(CorvaneDocTest, ZeroLengthFileOpensEmpty)
{
    doc.m_data.m_entries.push_back(MakeBlankEntry());
    doc.OnOpenDocument(WriteFile(QStringLiteral("empty.ent"), QByteArray()));
    EXPECT_TRUE(doc.m_data.m_entries.empty());
    EXPECT_EQ(view.hints, (std::vector<int>{HINT_CLEAR}));
}

TEST_F(CorvaneDocTest, MissingFileIsAFileError)
{
    const QString path = dir.filePath(QStringLiteral("missing.ent"));
    try {
        doc.OnOpenDocument(path);
        ADD_FAILURE() << "opened a missing file";
    } catch (const CFileError& e) {
        EXPECT_EQ(e.GetPath(), path);
        EXPECT_FALSE(e.GetReason().isEmpty());
        const QString text = DocumentErrorText(std::current_exception(), false);
        EXPECT_TRUE(text.contains(path)) << text.toStdString();
        EXPECT_TRUE(text.contains(e.GetReason())) << text.toStdString();
    }
    EXPECT_TRUE(view.hints.empty());
}

TEST_F(CorvaneDocTest, FailedSaveKeepsTheGoodFile)
{
    const QByteArray good = OneEntryFile();
    const QString path = WriteFile(QStringLiteral("keep.ent"), good);
    EXPECT_THROW(doc.OnSaveDocument(path), CArchiveError);  // nothing to store
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), good);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.ent")}) << "no temporary left";
}

// A disk that refuses the bytes: the save message, then the file and the system's reason.
TEST_F(CorvaneDocTest, RefusedWriteGivesTheSystemsReason)
{
    const QByteArray good = OneEntryFile();
    const QString path = WriteFile(QStringLiteral("keep.ent"), good);
    doc.m_data.m_entries.push_back(MakeBlankEntry());
    QString text;
    {
        const CFileSizeLimit limit(16);
        try {
            doc.OnSaveDocument(path);
            ADD_FAILURE() << "saved past the limit";
        } catch (const CFileError&) {
            text = DocumentErrorText(std::current_exception(), true);
        }
    }
    EXPECT_EQ(text, LoadResString(AFX_IDP_FAILED_TO_SAVE_DOC) + QStringLiteral("\n") + path
                        + QStringLiteral(": File too large"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), good);
}

struct MessageCase {
    const char* name;
    std::exception_ptr error;
    bool bSaving;
    int textId;
};

void PrintTo(const MessageCase& c, std::ostream* os)
{
    *os << c.name;
}


class DocumentErrorMessage : public testing::TestWithParam<MessageCase> {};

TEST_P(DocumentErrorMessage, MapsToFrameworkText)
{
    const MessageCase& c = GetParam();
    EXPECT_EQ(DocumentErrorText(c.error, c.bSaving), LoadResString(c.textId));

    std::vector<std::pair<QString, MessageIcon>> shown;
    const MessagePresenter previous =
        SetMessagePresenter([&](const QString& text, MessageIcon icon) { shown.emplace_back(text, icon); });
    ReportDocumentError(c.error, c.bSaving);
    SetMessagePresenter(previous);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, LoadResString(c.textId));
    EXPECT_EQ(shown[0].second, MessageIcon::Exclamation);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DocumentErrorMessage,
    testing::Values(
        MessageCase{"EndOfFile", std::make_exception_ptr(CArchiveError(CArchiveError::Kind::EndOfFile)), false,
                    AFX_IDP_FAILED_INVALID_FORMAT},
        MessageCase{"BadIndex", std::make_exception_ptr(CArchiveError(CArchiveError::Kind::BadIndex)), false,
                    AFX_IDP_FAILED_INVALID_FORMAT},
        MessageCase{"GenericOnOpen", std::make_exception_ptr(CArchiveError(CArchiveError::Kind::Generic)), false,
                    AFX_IDP_FAILED_TO_OPEN_DOC},
        MessageCase{"MemoryOnOpen", std::make_exception_ptr(std::bad_alloc()), false, AFX_IDP_FAILED_TO_OPEN_DOC},
        MessageCase{"NoCauseOnSave", std::make_exception_ptr(CArchiveError(CArchiveError::Kind::NoCause)), true,
                    AFX_IDP_FAILED_TO_SAVE_DOC},
        MessageCase{"GenericOnSave", std::make_exception_ptr(CArchiveError(CArchiveError::Kind::Generic)), true,
                    AFX_IDP_FAILED_TO_SAVE_DOC}),
    [](const testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

TEST(DocumentErrorTexts, AreTheFrameworkTexts)
{
    EXPECT_EQ(LoadResString(AFX_IDP_FAILED_INVALID_FORMAT), QStringLiteral("予期しないファイル形式です。"));
    EXPECT_EQ(LoadResString(AFX_IDP_FAILED_TO_OPEN_DOC), QStringLiteral("ドキュメントを開くことに失敗しました。"));
    EXPECT_EQ(LoadResString(AFX_IDP_FAILED_TO_SAVE_DOC), QStringLiteral("ドキュメントの保存に失敗しました。"));
}
