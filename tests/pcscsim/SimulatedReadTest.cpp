// The reader modules and the coordinator over the simulated service, as the demo mode
// runs them: what each failure switch turns into one level up.
#include "readers/FelicaMod.h"
#include "FaultyPcscService.h"

#include "HexBytes.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {

const QString kImagePath = QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json");

class SimulatedRead : public testing::Test {
protected:
    void SetUp() override
    {
        // No vendor library: the coordinator's fallback finds nothing.
        ASSERT_TRUE(m_noLibrary.isValid());
        setenv("VOLUNI_COMMON_FILES_DIR", m_noLibrary.path().toLocal8Bit().constData(), 1);
        const QString error = m_image.LoadFile(kImagePath);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    void TearDown() override { SetPcscService(nullptr); }

    CFaultyPcscService& Install(std::optional<CCardImage> card, const std::string& readerName)
    {
        auto service = std::make_shared<CFaultyPcscService>(std::move(card), readerName);
        SetPcscService(service);
        return *service;
    }

    // Open, poll 0x0003 and read 20 blocks, as the card wait dialog does; the result of
    // ReadBlocks, or -1 when it did not get that far.
    int Read(HistoryBlockList& blocks)
    {
        CFelicaMod felica;
        if (felica.OpenReader() != 0 || felica.m_pReader->Open() != 1)
            return -1;
        uint8_t idm[8] = {};
        uint8_t pmm[8] = {};
        if (felica.m_pReader->Polling(idm, pmm, 0x0003, 0, 0) != 1)
            return -1;
        return felica.m_pReader->ReadBlocks(idm, 0x090F, 0x0003, &blocks, 20);
    }

    QTemporaryDir m_noLibrary;
    CCardImage m_image;
};

class SimulatedReadPerReader : public SimulatedRead, public testing::WithParamInterface<const char*> {};

TEST_P(SimulatedReadPerReader, ReadsTheWholeImageAndReleasesEverything)
{
    CFaultyPcscService& service = Install(m_image, GetParam());
    HistoryBlockList blocks;
    EXPECT_EQ(Read(blocks), 1);
    EXPECT_EQ(blocks, m_image.m_history);
    EXPECT_EQ(service.OpenContexts(), 0u);
    EXPECT_EQ(service.OpenHandles(), 0u);
}

TEST_P(SimulatedReadPerReader, StatusWordErrorOnABlockFailsTheWholeRead)
{
    CFaultyPcscService& service = Install(m_image, GetParam());
    service.Card().FailBlockWithStatusWord(3, 0x6A81);
    HistoryBlockList blocks;
    EXPECT_EQ(Read(blocks), 0);
    EXPECT_TRUE(blocks.empty());
}

TEST_P(SimulatedReadPerReader, ShortAnswerNeverReadsPastTheAnswer)
{
    CFaultyPcscService& service = Install(m_image, GetParam());
    service.Card().ShortenBlockAnswer(2, 12);
    HistoryBlockList blocks;
    const int rc = Read(blocks);
    // A short answer is a failed block read: the module fails and hands back no partial list.
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(blocks.empty());
}

INSTANTIATE_TEST_SUITE_P(Readers, SimulatedReadPerReader,
                         testing::Values("ACS ACR1251 CL Reader PICC 0", "Circle CIR315 CL 0"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, std::string(info.param).find(' '));
                         });

TEST_F(SimulatedRead, CardLaidLaterIsFoundByALaterPolling)
{
    CFaultyPcscService& service = Install(m_image, CSimulatedPcscService::kDefaultReaderName);
    CFelicaMod felica;
    ASSERT_EQ(felica.OpenReader(), 0);
    // Counted after the coordinator's own probe connection.
    service.SetCardAfterAttempts(2);
    ASSERT_EQ(felica.m_pReader->Open(), 1);
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    EXPECT_EQ(felica.m_pReader->Polling(idm, pmm, 0x0003, 0, 0), 0);
    EXPECT_EQ(felica.m_pReader->Polling(idm, pmm, 0x0003, 0, 0), 0);
    EXPECT_EQ(felica.m_pReader->Polling(idm, pmm, 0x0003, 0, 0), 1);
    EXPECT_EQ(std::vector<uint8_t>(idm, idm + 8), std::vector<uint8_t>(m_image.m_idm.begin(), m_image.m_idm.end()));
}

TEST_F(SimulatedRead, CardWithoutTheSystemAnswersNoPolling)
{
    m_image.m_systems = {0xFE00};
    Install(m_image, CSimulatedPcscService::kDefaultReaderName);
    HistoryBlockList blocks;
    EXPECT_EQ(Read(blocks), -1);
}

TEST_F(SimulatedRead, OpenReaderCodesFollowTheFailureSwitches)
{
    const struct {
        const char* what;
        bool running;
        bool attached;
        bool card;
        int code;
    } cases[] = {
        {"service stopped", false, true, true, -3},
        {"no reader", true, false, true, -2},
        {"empty reader: taken, the wait finds no card", true, true, false, 0},
        {"card on the reader", true, true, true, 0},
    };
    for (const auto& c : cases) {
        CFaultyPcscService& service =
            Install(c.card ? std::optional<CCardImage>(m_image) : std::nullopt, CSimulatedPcscService::kDefaultReaderName);
        service.SetServiceRunning(c.running);
        service.SetReaderAttached(c.attached);
        CFelicaMod felica;
        EXPECT_EQ(felica.OpenReader(), c.code) << c.what;
    }
}

} // namespace
