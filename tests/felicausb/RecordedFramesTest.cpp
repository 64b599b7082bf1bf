// The reader chips against the frames real readers exchanged, as nfcpy's test suite records
// them (github.com/nfcpy/nfcpy, release 1.0.4): a device that hands out the recorded answers
// and keeps what the chip wrote. The frames are the recordings' bytes; where a recording's
// command differs from ours only in what we ask for, the answer alone is compared.
#include "HexBytes.h"
#include "felicausb/CardResponseTime.h"
#include "felicausb/Rcs380Chip.h"
#include "felicausb/Rcs956Chip.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::string kAck = "0000ff00ff00";

class CRecordedDevice final : public IUsbDevice {
public:
    explicit CRecordedDevice(const std::vector<std::string>& answers)
    {
        for (const std::string& hex : answers)
            m_answers.push_back(HexBytes(hex));
    }

    EUsbResult Write(const ByteVector& bytes, unsigned) override
    {
        m_written.push_back(bytes);
        return EUsbResult::Ok;
    }
    EUsbResult Read(ByteVector& bytes, unsigned) override
    {
        if (m_answers.empty())
            return EUsbResult::Timeout;
        bytes = m_answers.front();
        m_answers.pop_front();
        return EUsbResult::Ok;
    }

    std::vector<ByteVector> m_written;

private:
    std::deque<ByteVector> m_answers;
};

struct PollCase {
    const char* name;
    bool rcs956;
    std::vector<std::string> answers;
    EChipResult result;
    const char* answer; // the card's polling answer, when it came
};

void PrintTo(const PollCase& c, std::ostream* os)
{
    *os << c.name;
}

class RecordedPolling : public testing::TestWithParam<PollCase> {};

TEST_P(RecordedPolling, TakesTheRecordedAnswer)
{
    const PollCase& c = GetParam();
    CRecordedDevice device(c.answers);
    std::unique_ptr<CFelicaChip> chip;
    if (c.rcs956)
        chip = std::make_unique<CRcs956Chip>(device);
    else
        chip = std::make_unique<CRcs380Chip>(device);
    ByteVector answer;
    EXPECT_EQ(chip->Poll(0xFFFF, 0, answer), c.result);
    EXPECT_EQ(answer, HexBytes(c.answer));
}

// The RC-S956 answers RFConfiguration first: with the field off, it is switched on before
// the first polling.
INSTANTIATE_TEST_SUITE_P(Nfcpy, RecordedPolling, testing::Values(
    // tests/test_clf_rcs380.py, test_sense_ttf_with_no_target_found: InCommRF answers a
    // receive timeout with four status bytes and nothing more.
    PollCase{"Rcs380NoTargetFound", false, {kAck, "0000ffffff0600fad70580000000a400"}, EChipResult::NoCard, ""},
    // test_sense_ttf_with_receive_errors
    PollCase{"Rcs380ReceiveError", false, {kAck, "0000ffffff0600fad70540000000e400"}, EChipResult::NoCard, ""},
    // test_sense_ttf_with_tt3_target_found
    PollCase{"Rcs380TargetFound", false,
             {kAck, "0000ffffff1b00e5d7050000000008140101010701260cca020f0d23042f7783ff12fc8600"},
             EChipResult::Ok, "01 01010701260cca02 0f0d23042f7783ff 12fc"},
    // tests/base_clf_pn53x.py, test_sense_ttf_more_rf_on_time: the RFConfiguration answer,
    // then InListPassiveTarget with no target.
    PollCase{"Rcs956NoTargetFound", true, {kAck, "0000ff02fed533f800", kAck, "0000ff03fdd54b00e000"},
             EChipResult::NoCard, ""},
    // test_sense_ttf_target_found, after the same RFConfiguration answer
    PollCase{"Rcs956TargetFound", true,
             {kAck, "0000ff02fed533f800", kAck, "0000ff18e8d54b010114010102030405060708f1f2f3f4f5f6f7f8aabb9c00"},
             EChipResult::Ok, "01 0102030405060708 F1F2F3F4F5F6F7F8 AABB"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Rcs956RecordedOnce, TheFieldIsSwitchedOnBeforeTheFirstPollingOnly)
{
    CRecordedDevice device({kAck, "0000ff02fed533f800", kAck, "0000ff03fdd54b00e000", kAck, "0000ff03fdd54b00e000"});
    CRcs956Chip chip(device);
    ByteVector answer;
    chip.Poll(0x0003, 0, answer);
    chip.Poll(0x865E, 0, answer);
    // tests/base_clf_pn53x.py, test_sense_ttf_more_rf_on_time: RFConfiguration item 01 on,
    // then InListPassiveTarget; the second polling finds the field on.
    ASSERT_EQ(device.m_written.size(), 3u);
    EXPECT_EQ(device.m_written[0], HexBytes("0000ff04fcd4320101f800"));
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(device.m_written[i][6], CRcs956Chip::kInListPassiveTarget) << i;
    }
}

TEST(Rcs956RecordedOnce, ClosingResetsTheModeBeforeTheFieldGoesOff)
{
    // tests/test_clf_rcs956.py, the device fixture's close: ResetMode, an acknowledgement,
    // then RFConfiguration item 01 switching the field off.
    CRecordedDevice device({kAck, "0000ff02fed5191200", kAck, "0000ff02fed533f800"});
    CRcs956Chip chip(device);
    chip.Shutdown();
    const std::vector<ByteVector> expected = {HexBytes("0000ff03fdd418011300"), HexBytes(kAck),
                                              HexBytes("0000ff04fcd4320102f700")};
    EXPECT_EQ(device.m_written, expected);
}

TEST(Rcs956RecordedOnce, TheCardTimeoutIsSetBeforeTheExchange)
{
    // tests/base_clf_pn53x.py, test_send_cmd_recv_rsp_tt2_crc_pass and
    // test_send_cmd_recv_rsp_passive_dep_target: 1 s gives timeout index 15, 10 s index 16.
    for (const auto& [timeout, frame] : {std::pair{1000000us, "0000ff06fad432020a0b0fd400"},
                                         std::pair{10000000us, "0000ff06fad432020a0b10d300"}}) {
        CRecordedDevice device({kAck, "0000ff02fed533f800"});
        CRcs956Chip chip(device);
        ByteVector answer;
        chip.Exchange({0x06}, timeout, answer);
        ASSERT_GE(device.m_written.size(), 2u);
        EXPECT_EQ(device.m_written[0], HexBytes(frame));
        EXPECT_EQ(device.m_written[1][6], 0x42) << "InCommunicateThru follows";
    }
}

TEST(Rcs956RecordedOnce, TimeoutIndexIsTheFirstThatCoversTheTime)
{
    EXPECT_EQ(CRcs956Chip::CommTimeoutIndex(100us), 1);
    EXPECT_EQ(CRcs956Chip::CommTimeoutIndex(101us), 2);
    EXPECT_EQ(CRcs956Chip::CommTimeoutIndex(51200us), 10);
    // The read of ten blocks of a common Suica (PMm byte 67: 70.1 ms): 102.4 ms.
    EXPECT_EQ(CRcs956Chip::CommTimeoutIndex(70088us), 11);
    EXPECT_EQ(CRcs956Chip::CommTimeoutIndex(1000s), 16);
}

TEST(CardResponseTimeTest, FollowsThePmmOfTheRead)
{
    // tests/test_tag_tt3.py, test_read_without_encryption: PMm FF..FF, two blocks, 0.4640256 s.
    EXPECT_EQ(CardResponseTime(0xFF, 2), 464026us);
    // A common Suica's read byte 67 (A 7, B 4, E 1), ten blocks: 302.1 us x 58 x 4 = 70087.2 us.
    EXPECT_EQ(CardResponseTime(0x67, 10), 70088us);
    // The sample cards' D0 (A 0, B 2, E 3), ten blocks: 302.1 us x 31 x 64 = 599366.4 us.
    EXPECT_EQ(CardResponseTime(0xD0, 10), 599367us);
    EXPECT_EQ(CardResponseTime(0x00, 1), 605us);
}

} // namespace
