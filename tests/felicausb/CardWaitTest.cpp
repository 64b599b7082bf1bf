// The wait for a card keeps its polling time whatever the reader does: each wait ends within
// its polling time and one exchange more, on the simulated PC/SC service and on the emulated
// Sony readers, counted on the scenario's clock.
#include "WaitScenario.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>

namespace {

using namespace std::chrono_literals;

constexpr int kPollingTime = 3;
// What the test's own work may add to the waits, on a slow machine.
constexpr auto kSlack = 250ms;

struct WaitCase {
    const char* name;
    EWaitReader reader;
    EWaitFault fault;
    std::chrono::milliseconds exchange; // the longest one exchange may take
};

void PrintTo(const WaitCase& c, std::ostream* os)
{
    *os << c.name;
}

class CardWaitTest : public testing::TestWithParam<WaitCase> {
protected:
    void SetUp() override { ASSERT_TRUE(m_library.Loaded()); }

    CEmulatedFelicaLibrary m_library;
};

TEST_P(CardWaitTest, EndsWithinThePollingTimeAndOneExchange)
{
    const WaitCase& c = GetParam();
    CWaitScenario scenario(m_library);
    ASSERT_TRUE(scenario.Prepare(c.reader, c.fault));
    bool read = true;
    const std::chrono::milliseconds waited = scenario.Wait(kPollingTime, read);
    scenario.Close();
    EXPECT_FALSE(read);
    EXPECT_LE(waited, std::chrono::seconds(kPollingTime) + c.exchange + kSlack);
}

// The exchanges: PC/SC calls end at their deadline; the RC-S380 waits 100 ms for an
// acknowledgement, a polling 20 ms and the host 100 ms more, a read of ten blocks of the
// sample card (PMm D0: 599.4 ms) 600 ms and 100 more; the RC-S956 a polling 500 ms and 100
// more, the read 819.2 ms (timeout index 14) and 100 more.
INSTANTIATE_TEST_SUITE_P(Cases, CardWaitTest, testing::Values(
    WaitCase{"PcscSilent", EWaitReader::Pcsc, EWaitFault::Silent, CWaitScenario::kPcscDeadline},
    WaitCase{"PcscSlowWithoutCard", EWaitReader::Pcsc, EWaitFault::AcksOnly, CWaitScenario::kPcscDeadline},
    WaitCase{"PcscStallsMidRead", EWaitReader::Pcsc, EWaitFault::StallsMidRead, CWaitScenario::kPcscDeadline},
    WaitCase{"Rcs380Silent", EWaitReader::Rcs380, EWaitFault::Silent, 100ms},
    WaitCase{"Rcs380AcksOnly", EWaitReader::Rcs380, EWaitFault::AcksOnly, 120ms},
    WaitCase{"Rcs380StallsMidRead", EWaitReader::Rcs380, EWaitFault::StallsMidRead, 700ms},
    WaitCase{"Rcs956Silent", EWaitReader::Rcs956, EWaitFault::Silent, 100ms},
    WaitCase{"Rcs956AcksOnly", EWaitReader::Rcs956, EWaitFault::AcksOnly, 600ms},
    WaitCase{"Rcs956StallsMidRead", EWaitReader::Rcs956, EWaitFault::StallsMidRead, 920ms}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
