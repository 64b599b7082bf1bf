// The automatic read's look at the readers, over the simulated service.
#include "FaultyPcscService.h"
#include "readers/CardPresence.h"
#include "readers/PcscService.h"
#include "readers/sim/CardImage.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

CCardImage Commute()
{
    CCardImage image;
    EXPECT_TRUE(image.LoadFile(QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json")).isEmpty());
    return image;
}

class CardPresenceTest : public testing::Test {
protected:
    ~CardPresenceTest() override { SetPcscService(nullptr); }
    CFaultyPcscService& Use(std::optional<CCardImage> image)
    {
        m_pService = std::make_shared<CFaultyPcscService>(std::move(image));
        SetPcscService(m_pService);
        return *m_pService;
    }
    std::shared_ptr<CFaultyPcscService> m_pService;
};

} // namespace

TEST_F(CardPresenceTest, SaysWhetherACardLiesOnTheReader)
{
    Use(Commute());
    CCardPresenceProbe probe;
    EXPECT_EQ(probe.Look(), ECardPresence::Present);
    Use(std::nullopt);
    CCardPresenceProbe empty;
    EXPECT_EQ(empty.Look(), ECardPresence::Absent);
}

TEST_F(CardPresenceTest, NoReaderOrServiceTellsNothingAndAReturningServiceIsSeenAgain)
{
    CFaultyPcscService& service = Use(Commute());
    CCardPresenceProbe probe;
    service.SetReaderAttached(false);
    EXPECT_EQ(probe.Look(), ECardPresence::Unknown);
    service.SetReaderAttached(true);
    EXPECT_EQ(probe.Look(), ECardPresence::Present);

    // A restarted service knows none of the old contexts.
    Use(Commute()).SetServiceRunning(false);
    EXPECT_EQ(probe.Look(), ECardPresence::Unknown);
    m_pService->SetServiceRunning(true);
    EXPECT_EQ(probe.Look(), ECardPresence::Present);
    EXPECT_EQ(m_pService->OpenContexts(), 1u) << "one context, kept between looks";
}
