// The watcher's eye on the readers: which changes the service reports are a card laid.
#include "readers/PcscService.h"
#include "readers/ReaderWatch.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Readers and their states as pcsc-lite would report them; a wait returns at once, changed
// or timed out.
class CReaderStates final : public IPcscService {
public:
    std::map<std::string, DWORD> readers;
    bool up = true;

    LONG EstablishContext(DWORD, SCARDCONTEXT* context) override
    {
        *context = 7;
        return up ? SCARD_S_SUCCESS : SCARD_E_NO_SERVICE;
    }
    LONG ReleaseContext(SCARDCONTEXT) override { return SCARD_S_SUCCESS; }
    LONG ListReaders(SCARDCONTEXT, const char*, std::vector<std::string>& names) override
    {
        names.clear();
        if (!up)
            return SCARD_E_NO_SERVICE;
        for (const auto& [name, state] : readers)
            names.push_back(name);
        return names.empty() ? SCARD_E_NO_READERS_AVAILABLE : SCARD_S_SUCCESS;
    }
    LONG AwaitStatusChange(SCARDCONTEXT, DWORD, std::vector<SReaderWatch>& watched) override
    {
        if (!up)
            return SCARD_E_NO_SERVICE;
        bool changed = false;
        for (SReaderWatch& w : watched) {
            DWORD state = static_cast<DWORD>(readers.size()) << 16;
            if (w.name != kPnpNotificationReader) {
                const auto reader = readers.find(w.name);
                if (reader == readers.end())
                    return SCARD_E_UNKNOWN_READER;
                state = reader->second;
            }
            w.eventState = state;
            if (state != (w.currentState & ~DWORD(SCARD_STATE_CHANGED))) {
                w.eventState |= SCARD_STATE_CHANGED;
                changed = true;
            }
        }
        return changed ? SCARD_S_SUCCESS : SCARD_E_TIMEOUT;
    }
    LONG Connect(SCARDCONTEXT, const std::string&, DWORD, DWORD, SCARDHANDLE*, DWORD*) override { return SCARD_E_NO_SERVICE; }
    LONG Disconnect(SCARDHANDLE, DWORD) override { return SCARD_S_SUCCESS; }
    LONG Status(SCARDHANDLE, std::vector<uint8_t>&) override { return SCARD_E_NO_SERVICE; }
    LONG ReaderStates(SCARDCONTEXT, DWORD, const std::vector<std::string>&, std::vector<SReaderState>&) override
    {
        return SCARD_E_NO_SERVICE;
    }
    LONG BeginTransaction(SCARDHANDLE) override { return SCARD_E_NO_SERVICE; }
    LONG EndTransaction(SCARDHANDLE, DWORD) override { return SCARD_S_SUCCESS; }
    LONG Transmit(SCARDHANDLE, const SCARD_IO_REQUEST*, const uint8_t*, DWORD, uint8_t*, DWORD*) override
    {
        return SCARD_E_NO_SERVICE;
    }
    LONG Control(SCARDHANDLE, DWORD, const uint8_t*, DWORD, uint8_t*, DWORD, DWORD*) override { return SCARD_E_NO_SERVICE; }
};

constexpr DWORD kEmpty = SCARD_STATE_EMPTY;
// A card on the reader; events: pcsc-lite's count of the reader's card events.
constexpr DWORD Present(DWORD events, DWORD more = 0)
{
    return SCARD_STATE_PRESENT | more | (events << 16);
}

struct SStep {
    std::map<std::string, DWORD> readers;
    bool up;
    LONG rc;
    std::string laidOn; // with SCARD_S_SUCCESS
};

struct SWatchCase {
    const char* name;
    std::string onlyReader;
    std::vector<SStep> steps;
};

void PrintTo(const SWatchCase& watchCase, std::ostream* out)
{
    *out << watchCase.name;
}

class ReaderWatchTest : public testing::TestWithParam<SWatchCase> {
protected:
    void SetUp() override { m_previous = SetPcscService(m_service); }
    void TearDown() override { SetPcscService(m_previous); }

    std::shared_ptr<CReaderStates> m_service = std::make_shared<CReaderStates>();
    std::shared_ptr<IPcscService> m_previous;
};

TEST_P(ReaderWatchTest, TellsEachCardLaidOnce)
{
    CReaderWatch watch(GetParam().onlyReader);
    int stepNumber = 0;
    for (const SStep& step : GetParam().steps) {
        SCOPED_TRACE(testing::Message() << "step " << ++stepNumber);
        m_service->readers = step.readers;
        m_service->up = step.up;
        std::string reader;
        EXPECT_EQ(watch.WaitForCard(1000, reader), step.rc);
        if (step.rc == SCARD_S_SUCCESS) {
            EXPECT_EQ(reader, step.laidOn);
        }
    }
}

const std::string kA = "Reader A 00 00";
const std::string kB = "Reader B 01 00";

INSTANTIATE_TEST_SUITE_P(Changes, ReaderWatchTest, testing::Values(
    SWatchCase{"CardThereAtFirstSightIsLaid", {},
               {{{{kA, Present(1)}}, true, SCARD_S_SUCCESS, kA}, {{{kA, Present(1)}}, true, SCARD_E_TIMEOUT, {}}}},
    SWatchCase{"CardThatStaysInUseIsNotLaidAgain", {},
               {{{{kA, kEmpty}}, true, SCARD_E_TIMEOUT, {}},
                {{{kA, Present(1)}}, true, SCARD_S_SUCCESS, kA},
                {{{kA, Present(1, SCARD_STATE_INUSE)}}, true, SCARD_E_TIMEOUT, {}}}},
    SWatchCase{"LiftedAndLaidAgain", {},
               {{{{kA, Present(1)}}, true, SCARD_S_SUCCESS, kA},
                {{{kA, kEmpty | (2 << 16)}}, true, SCARD_E_TIMEOUT, {}},
                {{{kA, Present(3)}}, true, SCARD_S_SUCCESS, kA}}},
    SWatchCase{"LiftedAndLaidWithinOneWait", {},
               {{{{kA, Present(1)}}, true, SCARD_S_SUCCESS, kA}, {{{kA, Present(3)}}, true, SCARD_S_SUCCESS, kA}}},
    SWatchCase{"MuteCardIsNotLaid", {}, {{{{kA, Present(1, SCARD_STATE_MUTE)}}, true, SCARD_E_TIMEOUT, {}}}},
    SWatchCase{"ACardOnTheOtherReaderWakesNoReadOfTheOneThatStays", {},
               {{{{kA, Present(1)}, {kB, kEmpty}}, true, SCARD_S_SUCCESS, kA},
                {{{kA, Present(1)}, {kB, Present(1)}}, true, SCARD_S_SUCCESS, kB}}},
    SWatchCase{"OnlyTheNamedReader", kB,
               {{{{kA, Present(1)}, {kB, kEmpty}}, true, SCARD_E_TIMEOUT, {}},
                {{{kA, Present(1)}, {kB, Present(1)}}, true, SCARD_S_SUCCESS, kB}}},
    SWatchCase{"ReaderThatComesWithACard", {},
               {{{{kA, kEmpty}}, true, SCARD_E_TIMEOUT, {}},
                {{{kA, kEmpty}, {kB, Present(1)}}, true, SCARD_S_SUCCESS, kB}}},
    SWatchCase{"NoReaderWaitsForOne", {}, {{{}, true, SCARD_E_TIMEOUT, {}}, {{{kA, Present(1)}}, true, SCARD_S_SUCCESS, kA}}},
    // A service started again has forgotten its cards: the one lying there is laid anew.
    SWatchCase{"ServiceGoneAndBack", {},
               {{{{kA, Present(1)}}, true, SCARD_S_SUCCESS, kA},
                {{{kA, Present(1)}}, false, SCARD_E_NO_SERVICE, {}},
                {{{kA, Present(1)}}, false, SCARD_E_NO_SERVICE, {}},
                {{{kA, Present(1)}}, true, SCARD_S_SUCCESS, kA}}}),
    [](const testing::TestParamInfo<SWatchCase>& info) { return std::string(info.param.name); });

} // namespace
