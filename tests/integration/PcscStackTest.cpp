// The reader layer end to end through the real pcsc-lite: our own pcscd, the vpcd
// virtual reader named as a known reader, and the virtual card answering from an image.
#include "CardImage.h"
#include "PcscService.h"
#include "PrivatePcscd.h"

#include <gtest/gtest.h>

#include <QString>

#include <vector>

namespace {

constexpr const char* kAcsReader = "ACS ACR1251 CL Reader PICC";
constexpr const char* kCircleReader = "Circle CIR315 CL";
const QString kImagePath = QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json");

class PcscStack : public testing::Test {
protected:
    void SetUp() override
    {
        if (const QString reason = CPrivatePcscd::WhyUnavailable(); !reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
        CPrivatePcscd::UsePrivateSocket();
        const QString error = m_image.LoadFile(kImagePath);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    void TearDown() override { m_pcscd.Stop(); }

    void StartWithCard(const char* friendlyName)
    {
        QString error = m_pcscd.Start(QLatin1String(friendlyName));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        error = m_pcscd.InsertCard(kImagePath);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    CPrivatePcscd m_pcscd;
    CCardImage m_image;
};

// One card connection through the seam, closed again at the end.
class CCardConnection {
public:
    explicit CCardConnection(const std::string& reader)
    {
        m_rc = PcscService().EstablishContext(SCARD_SCOPE_USER, &m_hContext);
        if (m_rc == SCARD_S_SUCCESS)
            m_rc = PcscService().Connect(m_hContext, reader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                                         &m_hCard, &m_dwProtocol);
    }
    ~CCardConnection()
    {
        if (m_hCard)
            PcscService().Disconnect(m_hCard, SCARD_LEAVE_CARD);
        if (m_hContext)
            PcscService().ReleaseContext(m_hContext);
    }
    LONG Result() const { return m_rc; }
    DWORD Protocol() const { return m_dwProtocol; }

    // The answer, status word last; empty when the exchange failed.
    std::vector<uint8_t> Exchange(const std::vector<uint8_t>& frame)
    {
        std::vector<uint8_t> answer(256);
        DWORD length = static_cast<DWORD>(answer.size());
        if (PcscService().Transmit(m_hCard, SCARD_PCI_T1, frame.data(), static_cast<DWORD>(frame.size()),
                                   answer.data(), &length) != SCARD_S_SUCCESS)
            return {};
        answer.resize(length);
        return answer;
    }

private:
    LONG m_rc = SCARD_S_SUCCESS;
    SCARDCONTEXT m_hContext = 0;
    SCARDHANDLE m_hCard = 0;
    DWORD m_dwProtocol = 0;
};

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t count)
{
    if (bytes.size() < from + count)
        return {};
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

std::vector<uint8_t> StatusWord(const std::vector<uint8_t>& answer)
{
    return answer.size() < 2 ? std::vector<uint8_t>{} : Slice(answer, answer.size() - 2, 2);
}

const std::vector<uint8_t> kOk = {0x90, 0x00};

TEST_F(PcscStack, ReaderIsListedUnderItsKnownName)
{
    QString error = m_pcscd.Start(QLatin1String(kAcsReader));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    SCARDCONTEXT context = 0;
    ASSERT_EQ(PcscService().EstablishContext(SCARD_SCOPE_USER, &context), SCARD_S_SUCCESS);
    std::vector<std::string> readers;
    EXPECT_EQ(PcscService().ListReaders(context, "SCard$AllReaders", readers), SCARD_S_SUCCESS);
    PcscService().ReleaseContext(context);
    ASSERT_FALSE(readers.empty());
    EXPECT_EQ(readers.front(), m_pcscd.ReaderName().toStdString());
}

TEST_F(PcscStack, AcsFramesReadTheImage)
{
    StartWithCard(kAcsReader);
    CCardConnection card(m_pcscd.ReaderName().toStdString());
    ASSERT_EQ(card.Result(), SCARD_S_SUCCESS);
    // The modules transmit with the T=1 header only.
    EXPECT_EQ(card.Protocol(), static_cast<DWORD>(SCARD_PROTOCOL_T1));

    EXPECT_EQ(StatusWord(card.Exchange({0xFF, 0x40, 0x00, 0x00, 0x04, 0x00, 0x03, 0x01, 0x00})), kOk);
    const std::vector<uint8_t> any = card.Exchange({0xFF, 0x40, 0x00, 0x00, 0x04, 0xFF, 0xFF, 0x00, 0x00});
    EXPECT_EQ(Slice(any, 0, 8), std::vector<uint8_t>(m_image.m_idm.begin(), m_image.m_idm.end()));
    EXPECT_EQ(Slice(any, 8, 8), std::vector<uint8_t>(m_image.m_pmm.begin(), m_image.m_pmm.end()));
    for (size_t n = 0; n < m_image.m_history.size(); ++n) {
        const std::vector<uint8_t> answer =
            card.Exchange({0xFF, 0x46, 0x01, 0x01, 0x04, 0x0F, 0x09, 0x80, static_cast<uint8_t>(n)});
        EXPECT_EQ(StatusWord(answer), kOk) << "block " << n;
        EXPECT_EQ(Slice(answer, 11, 16), std::vector<uint8_t>(m_image.m_history[n].begin(), m_image.m_history[n].end()))
            << "block " << n;
    }
}

TEST_F(PcscStack, CircleFramesReadTheImage)
{
    StartWithCard(kCircleReader);
    CCardConnection card(m_pcscd.ReaderName().toStdString());
    ASSERT_EQ(card.Result(), SCARD_S_SUCCESS);

    const std::vector<uint8_t> polling = card.Exchange({0xFF, 0xAB, 0x00, 0x00, 0x05, 0x00, 0x00, 0x03, 0x01, 0x00});
    EXPECT_EQ(StatusWord(polling), kOk);
    EXPECT_EQ(Slice(polling, 2, 8), std::vector<uint8_t>(m_image.m_idm.begin(), m_image.m_idm.end()));
    EXPECT_EQ(Slice(polling, 10, 8), std::vector<uint8_t>(m_image.m_pmm.begin(), m_image.m_pmm.end()));
    EXPECT_EQ(card.Exchange({0xFF, 0x00, 0x41, 0x81, 0x01, 0x0C}), kOk);
    for (size_t n = 0; n < m_image.m_history.size(); ++n) {
        std::vector<uint8_t> frame{0xFF, 0xAB, 0x00, 0x00, 0x0F, 0x06};
        frame.insert(frame.end(), m_image.m_idm.begin(), m_image.m_idm.end());
        frame.insert(frame.end(), {0x01, 0x0F, 0x09, 0x01, 0x80, static_cast<uint8_t>(n)});
        const std::vector<uint8_t> answer = card.Exchange(frame);
        EXPECT_EQ(StatusWord(answer), kOk) << "block " << n;
        EXPECT_EQ(Slice(answer, 13, 16), std::vector<uint8_t>(m_image.m_history[n].begin(), m_image.m_history[n].end()))
            << "block " << n;
    }
}

TEST_F(PcscStack, NoCardOnTheReader)
{
    QString error = m_pcscd.Start(QLatin1String(kAcsReader));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    CCardConnection card(m_pcscd.ReaderName().toStdString());
    // pcsc-lite says SCARD_E_NO_SMARTCARD; the adaptor hands on the empty-reader answer.
    EXPECT_EQ(card.Result(), kPcscEmptyReader);
}

TEST_F(PcscStack, StoppedServiceIsReported)
{
    StartWithCard(kAcsReader);
    m_pcscd.Stop();
    SCARDCONTEXT context = 0;
    EXPECT_EQ(PcscService().EstablishContext(SCARD_SCOPE_USER, &context), SCARD_E_NO_SERVICE);
}

} // namespace
