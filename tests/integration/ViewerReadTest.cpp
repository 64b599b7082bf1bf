// One card read in the viewer end to end: main frame, history form and wait
// dialog over the real pcsc-lite, our own pcscd and the virtual card.
#include "card/AppMessage.h"
#include "settings/AppProfile.h"
#include "document/CorvaneDoc.h"
#include "view/CorvaneForm.h"
#include "app/MainFrame.h"
#include "PrivatePcscd.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTableView>
#include "view/HistoryModel.h"
#include <QTemporaryDir>

#include <vector>

namespace {

TEST(ViewerRead, CardOnTheVirtualReaderIsReadAndShown)
{
    SKIP_WITHOUT_PRIVATE_PCSCD();
    CPrivatePcscd::UsePrivateSocket();
    // No vendor library to fall back on.
    QTemporaryDir commonFiles;
    qputenv("VOLUNI_COMMON_FILES_DIR", commonFiles.path().toLocal8Bit());
    std::vector<QString> messages;
    const MessagePresenter previous =
        SetMessagePresenter([&messages](const QString& text, MessageIcon) { messages.push_back(text); });

    CPrivatePcscd pcscd;
    QString error = pcscd.Start(QStringLiteral("ACS ACR1251 CL Reader PICC"));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    error = pcscd.InsertCard(QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json"));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();

    CAppProfile profile;
    profile.LoadProfile();
    profile.m_strConnect = CAppProfile::ConnectStringFor(QStringLiteral(VOLUNI_BINARY_DIR "/bin/VoluniStn.mdb"));
    profile.m_nPollingTime = 2;
    CCorvaneDoc document;
    CMainFrame frame(document, profile, CMainFrame::ReaderHooks{});
    frame.GetActiveView()->OnInitialUpdate();

    const int result = frame.GetActiveView()->OnCardRead();
    SetMessagePresenter(previous);
    EXPECT_EQ(result, 1) << pcscd.Log().toStdString();
    EXPECT_EQ(document.m_data.m_entries.size(), 10u);
    EXPECT_GT(frame.GetActiveView()->Model()->rowCount(), 0);
    EXPECT_EQ(frame.Pane(32788)->text(), QStringLiteral("01010312A4B5C6D7"));
    EXPECT_TRUE(messages.empty());
    pcscd.Stop();
}

} // namespace
