#include "FaultyPcscService.h"

#include "HexBytes.h"

#include <PCSC/reader.h>
#include <gtest/gtest.h>

#include <QByteArray>

namespace {

constexpr const char* kIdm = "0102030405060708";
constexpr const char* kPmm = "1112131415161718";
constexpr const char* kBlock0 = "160100003466030D03018A0B00015C00";
constexpr const char* kBlock1 = "C7460000346364400000E40300015600";
constexpr const char* kZeros = "00000000000000000000000000000000";

CCardImage TwoBlockImage()
{
    CCardImage image;
    image.m_idm = HexArray<8>(kIdm);
    image.m_pmm = HexArray<8>(kPmm);
    image.m_systems = {0x0003, 0xFE00};
    image.m_history = {HexArray<16>(kBlock0), HexArray<16>(kBlock1)};
    return image;
}

std::string Hex(const uint8_t* bytes, DWORD length)
{
    const QByteArray raw(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length));
    return raw.toHex().toUpper().toStdString();
}

std::string Cat(std::initializer_list<std::string> parts)
{
    std::string out;
    for (const std::string& part : parts)
        out += part;
    return out;
}

class SimulatedPcscService : public testing::Test {
protected:
    explicit SimulatedPcscService(std::optional<CCardImage> image = TwoBlockImage())
        : m_service(std::move(image))
    {
    }

    void SetUp() override { ASSERT_EQ(m_service.EstablishContext(SCARD_SCOPE_USER, &m_hContext), SCARD_S_SUCCESS); }

    LONG ConnectShared()
    {
        DWORD protocol = 0;
        return m_service.Connect(m_hContext, m_service.ReaderName(), SCARD_SHARE_SHARED,
                                 SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &m_hCard, &protocol);
    }

    // One transmit over the card connection; the answer as upper-case hex.
    std::string Send(const std::string& frame, DWORD bufferSize = 256, LONG* rc = nullptr)
    {
        const std::vector<uint8_t> bytes = HexBytes(frame);
        std::vector<uint8_t> answer(bufferSize);
        DWORD length = bufferSize;
        const LONG result = m_service.Transmit(m_hCard, SCARD_PCI_T1, bytes.data(), static_cast<DWORD>(bytes.size()),
                                               answer.data(), &length);
        if (rc)
            *rc = result;
        return result == SCARD_S_SUCCESS ? Hex(answer.data(), length) : std::string();
    }

    LONG Escape(const std::string& command, std::string& answer)
    {
        const std::vector<uint8_t> bytes = HexBytes(command);
        uint8_t buffer[256] = {};
        DWORD returned = 0;
        const LONG rc = m_service.Control(m_hCard, SCARD_CTL_CODE(3500), bytes.data(),
                                          static_cast<DWORD>(bytes.size()), buffer, sizeof buffer, &returned);
        answer = Hex(buffer, returned);
        return rc;
    }

    CFaultyPcscService m_service;
    SCARDCONTEXT m_hContext = 0;
    SCARDHANDLE m_hCard = 0;
};

struct SFrameCase {
    const char* name;
    std::string frame;
    std::string answer;
};

void PrintTo(const SFrameCase& frameCase, std::ostream* out)
{
    *out << frameCase.frame;
}

class SimulatedPcscServiceFrames : public SimulatedPcscService, public testing::WithParamInterface<SFrameCase> {};

TEST_P(SimulatedPcscServiceFrames, AnswersFromTheImage)
{
    ASSERT_EQ(ConnectShared(), SCARD_S_SUCCESS);
    EXPECT_EQ(Send(GetParam().frame), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SimulatedPcscServiceFrames,
    testing::Values(
        // FF 40 polling: the system code must be one of the image's, FF FF any.
        SFrameCase{"PollSystem", "FF40000004 0003 0100", Cat({kIdm, kPmm, "0003", "9000"})},
        SFrameCase{"PollSystemTheCardLacks", "FF40000004 865E 0100", "6A82"},
        SFrameCase{"PollAnyCard", "FF40000004 FFFF 0000", Cat({kIdm, kPmm, "9000"})},
        SFrameCase{"PollWithoutTimeSlot", "FF40000003 0003 01", "6700"},
        // FF 46: IDm, status flags, block count, block.
        SFrameCase{"ReadBlock0", "FF46010104 0F09 8000", Cat({kIdm, "000001", kBlock0, "9000"})},
        SFrameCase{"ReadBlock1", "FF46010104 0F09 8001", Cat({kIdm, "000001", kBlock1, "9000"})},
        SFrameCase{"ReadEmptySlotAfterHistory", "FF46010104 0F09 8013", Cat({kIdm, "000001", kZeros, "9000"})},
        SFrameCase{"ReadPastTheLastSlot", "FF46010104 0F09 8014", Cat({kIdm, "01A8", "9000"})},
        SFrameCase{"ReadAnotherService", "FF46010104 0B00 8000", Cat({kIdm, "01A6", "9000"})},
        // Circle pass-through: the card's FeliCa frame, length byte first.
        SFrameCase{"CirclePolling", "FFAB000005 00 0003 0100", Cat({"1401", kIdm, kPmm, "0003", "9000"})},
        SFrameCase{"CirclePollingTheCardLacks", "FFAB000005 00 8592 0100", "6A82"},
        SFrameCase{"CirclePreparation", "FF00418101 0C", "9000"},
        SFrameCase{"CircleRead", Cat({"FFAB00000F 06", kIdm, "01 0F09 01 8001"}),
                   Cat({"1D07", kIdm, "000001", kBlock1, "9000"})},
        SFrameCase{"CircleReadTwoBlocks", Cat({"FFAB000011 06", kIdm, "01 0F09 02 8000 8001"}),
                   Cat({"2D07", kIdm, "000002", kBlock0, kBlock1, "9000"})},
        SFrameCase{"CircleReadForAnotherCard", "FFAB00000F 06 0807060504030201 01 0F09 01 8000", "6A82"},
        SFrameCase{"CircleReadCountMismatch", Cat({"FFAB00000F 06", kIdm, "01 0F09 02 8001"}), "6700"},
        SFrameCase{"LcBeyondTheData", "FF40000005 0003 0100", "6700"},
        SFrameCase{"OtherClass", "00A4040000", "6E00"},
        SFrameCase{"OtherInstruction", "FF12000000", "6D00"}),
    [](const testing::TestParamInfo<SFrameCase>& info) { return std::string(info.param.name); });

TEST_F(SimulatedPcscService, EscapeCommandsOfAllThreeDialectsShareTheModeByte)
{
    ASSERT_EQ(ConnectShared(), SCARD_S_SUCCESS);
    std::string answer;
    EXPECT_EQ(Escape("1E", answer), SCARD_S_SUCCESS);
    EXPECT_EQ(answer, "0105");

    const struct {
        const char* set;
        const char* get;
        const char* mode;
    } dialects[] = {{"951B", "94", "1B"}, {"95FF60", "94FF", "60"}, {"FF004101010C", "FF00410100", "0C"}};
    for (const auto& dialect : dialects) {
        EXPECT_EQ(Escape(dialect.set, answer), SCARD_S_SUCCESS) << dialect.set;
        EXPECT_EQ(answer, "");
        EXPECT_EQ(Escape(dialect.get, answer), SCARD_S_SUCCESS) << dialect.get;
        EXPECT_EQ(answer, dialect.mode);
    }
    EXPECT_EQ(m_service.Card().ReaderMode(), 0x0C);
    EXPECT_EQ(Escape("9501FF", answer), SCARD_E_NOT_TRANSACTED);
}

TEST_F(SimulatedPcscService, RecordsEveryFrameWithTheCallersBufferSize)
{
    ASSERT_EQ(ConnectShared(), SCARD_S_SUCCESS);
    Send("FF40000004 FFFF 0000", 30);
    std::string answer;
    Escape("94", answer);
    const auto frames = m_service.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].channel, CSimulatedPcscService::SFrame::EChannel::Transmit);
    EXPECT_EQ(frames[0].bytes, HexBytes("FF40000004FFFF0000"));
    EXPECT_EQ(frames[0].receiveSize, 30u);
    EXPECT_EQ(frames[1].channel, CSimulatedPcscService::SFrame::EChannel::Control);
    EXPECT_EQ(frames[1].bytes, HexBytes("94"));
}

TEST_F(SimulatedPcscService, AnswerLongerThanTheBufferIsRefused)
{
    ASSERT_EQ(ConnectShared(), SCARD_S_SUCCESS);
    LONG rc = 0;
    Send("FF46010104 0F09 8000", 20, &rc);
    EXPECT_EQ(rc, SCARD_E_INSUFFICIENT_BUFFER);
}

TEST_F(SimulatedPcscService, BlockFaults)
{
    m_service.Card().FailBlockWithStatusWord(2, 0x6A81);
    m_service.Card().ShortenBlockAnswer(1, 12);
    m_service.Card().SetBlockStatusFlags(0, 0x00, 0xA1);
    m_service.Card().SetBlockStatusFlags(3, 0x01, 0xA8);
    ASSERT_EQ(ConnectShared(), SCARD_S_SUCCESS);
    EXPECT_EQ(Send("FF46010104 0F09 8002"), "6A81");
    EXPECT_EQ(Send(Cat({"FFAB00000F 06", kIdm, "01 0F09 01 8002"})), "6A81");
    EXPECT_EQ(Send("FF46010104 0F09 8001"), Cat({kIdm, "0000", "9000"}));
    EXPECT_EQ(Send(Cat({"FFAB00000F 06", kIdm, "01 0F09 01 8000"})), Cat({"1D07", kIdm, "00A101", kBlock0, "9000"}));
    EXPECT_EQ(Send("FF46010104 0F09 8003"), Cat({kIdm, "01A8", "9000"}));
}

TEST_F(SimulatedPcscService, CardAppearsAfterRefusedConnections)
{
    m_service.SetCardAfterAttempts(2);
    EXPECT_EQ(ConnectShared(), kPcscEmptyReader);
    EXPECT_EQ(ConnectShared(), kPcscEmptyReader);
    EXPECT_EQ(ConnectShared(), SCARD_S_SUCCESS);
    EXPECT_EQ(Send("FF40000004 FFFF 0000"), Cat({kIdm, kPmm, "9000"}));
}

TEST_F(SimulatedPcscService, ReaderAndServiceFailures)
{
    std::vector<std::string> readers;
    EXPECT_EQ(m_service.ListReaders(m_hContext, "SCard$AllReaders", readers), SCARD_S_SUCCESS);
    EXPECT_EQ(readers, std::vector<std::string>{CSimulatedPcscService::kDefaultReaderName});

    m_service.SetReaderAttached(false);
    EXPECT_EQ(m_service.ListReaders(m_hContext, "SCard$AllReaders", readers), SCARD_E_NO_READERS_AVAILABLE);
    EXPECT_EQ(ConnectShared(), SCARD_E_UNKNOWN_READER);

    m_service.SetServiceRunning(false);
    SCARDCONTEXT context = 0;
    EXPECT_EQ(m_service.EstablishContext(SCARD_SCOPE_USER, &context), SCARD_E_NO_SERVICE);
}

TEST_F(SimulatedPcscService, PairsContextsAndHandles)
{
    ASSERT_EQ(ConnectShared(), SCARD_S_SUCCESS);
    EXPECT_EQ(m_service.OpenContexts(), 1u);
    EXPECT_EQ(m_service.OpenHandles(), 1u);
    EXPECT_EQ(m_service.EndTransaction(m_hCard, SCARD_LEAVE_CARD), SCARD_E_NOT_TRANSACTED);
    EXPECT_EQ(m_service.BeginTransaction(m_hCard), SCARD_S_SUCCESS);
    EXPECT_EQ(m_service.EndTransaction(m_hCard, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
    EXPECT_EQ(m_service.Disconnect(m_hCard, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
    EXPECT_EQ(m_service.Disconnect(m_hCard, SCARD_LEAVE_CARD), SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(m_service.ReleaseContext(m_hContext), SCARD_S_SUCCESS);
    EXPECT_EQ(m_service.OpenContexts(), 0u);
    EXPECT_EQ(m_service.OpenHandles(), 0u);
}

class SimulatedPcscServiceWithoutCard : public SimulatedPcscService {
protected:
    SimulatedPcscServiceWithoutCard()
        : SimulatedPcscService(std::nullopt)
    {
    }
};

TEST_F(SimulatedPcscServiceWithoutCard, RefusesCardConnectionsButServesTheEscapeChannel)
{
    EXPECT_EQ(ConnectShared(), kPcscEmptyReader);
    DWORD protocol = 1;
    ASSERT_EQ(m_service.Connect(m_hContext, m_service.ReaderName(), SCARD_SHARE_DIRECT, 0, &m_hCard, &protocol),
              SCARD_S_SUCCESS);
    EXPECT_EQ(protocol, 0u);
    std::string answer;
    EXPECT_EQ(Escape("9560", answer), SCARD_S_SUCCESS);
    EXPECT_EQ(m_service.Card().ReaderMode(), 0x60);
    LONG rc = 0;
    Send("FF40000004 FFFF 0000", 256, &rc);
    EXPECT_EQ(rc, SCARD_E_NO_SMARTCARD);
}

} // namespace
