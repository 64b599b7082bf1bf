// The coordinator: which reader it takes, which module it makes, what it answers.
#include "FakeFelicaLibrary.h"
#include "readers/FelicaMod.h"
#include "readers/PasoriMod.h"
#include "readers/PcscCloud.h"
#include "readers/PcscMod.h"
#include "readers/PcscMrica.h"
#include "ScriptedPcsc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

class FelicaModTest : public PcscScriptTest {
protected:
    CFakeFelicaLibrary m_fake;

    // Discovery of the readers listed; each known one answers its connection with connectRc.
    struct Listed {
        std::string name;
        std::optional<LONG> connectRc; // none: not in the table, never connected
    };
    void ScriptDiscovery(const std::vector<Listed>& readers)
    {
        std::vector<std::string> names;
        for (const Listed& reader : readers)
            names.push_back(reader.name);
        m_pcsc->Establish().List(names);
        for (const Listed& reader : readers) {
            if (!reader.connectRc)
                continue;
            m_pcsc->ConnectShared(reader.name, *reader.connectRc);
            if (*reader.connectRc == SCARD_S_SUCCESS) {
                m_pcsc->Disconnect(SCARD_LEAVE_CARD);
                break;
            }
            if (*reader.connectRc == SCARD_W_REMOVED_CARD)
                break;
        }
        m_pcsc->Release();
    }
};

// Without the vendor library, what went wrong with PC/SC decides the code.
struct FailureCase {
    const char* name;
    LONG establishRc;
    LONG listRc;
    std::vector<std::string> readers;
    int result;
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class OpenReaderFailureTest : public FelicaModTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(OpenReaderFailureTest, MapsTheLastPcscResult)
{
    const FailureCase& failure = GetParam();
    m_fake.Remove();
    m_pcsc->Establish(failure.establishRc);
    if (failure.establishRc == SCARD_S_SUCCESS) {
        m_pcsc->List(failure.readers, failure.listRc);
        for (const std::string& reader : failure.readers) {
            if (reader.starts_with("SCR331CL-NTTCom"))
                m_pcsc->ConnectShared(reader, SCARD_E_NO_SMARTCARD);
        }
        m_pcsc->Release();
    }

    CFelicaMod felica;
    EXPECT_EQ(felica.OpenReader(), failure.result);
    EXPECT_TRUE(felica.m_strReader.isEmpty());
    EXPECT_EQ(felica.m_nReaderType, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, OpenReaderFailureTest, testing::Values(
    FailureCase{"ServiceStopped", SCARD_E_NO_SERVICE, SCARD_S_SUCCESS, {}, -3},
    FailureCase{"NoReadersAvailable", SCARD_S_SUCCESS, SCARD_E_NO_READERS_AVAILABLE, {}, -2},
    FailureCase{"UnknownReader", SCARD_S_SUCCESS, SCARD_E_UNKNOWN_READER, {}, -2},
    // The table is matched case-sensitively, so neither reader is tried.
    FailureCase{"OnlyReadersNotInTheTable", SCARD_S_SUCCESS, SCARD_S_SUCCESS,
                {"Generic USB Reader 00 00", "acs acr1252 1s cl reader picc 0"}, -1},
    FailureCase{"KnownReaderWithoutCard", SCARD_S_SUCCESS, SCARD_S_SUCCESS, {"SCR331CL-NTTCom 0"}, -1},
    FailureCase{"OtherContextFailure", SCARD_F_INTERNAL_ERROR, SCARD_S_SUCCESS, {}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// Each entry of the known-reader table, listed with a suffix as pcsc-lite names readers.
struct KnownCase {
    const char* name;
    const char* reader;
    int type;
    const std::type_info* module;
    const char* runFrame;
    const char* exitFrame;
};

void PrintTo(const KnownCase& c, std::ostream* os)
{
    *os << c.name;
}

class KnownReaderTest : public FelicaModTest, public testing::WithParamInterface<KnownCase> {};

TEST_P(KnownReaderTest, OpenReaderSetsTheRunModeAndKeepsTheModule)
{
    const KnownCase& known = GetParam();
    ScriptDiscovery({{"Generic USB Reader 00 00", std::nullopt}, {known.reader, SCARD_S_SUCCESS}});
    // A module of its own writes the run value, then the module to keep is made.
    m_pcsc->Establish().ConnectDirect(known.reader).Control(known.runFrame, 256, "").Disconnect(SCARD_UNPOWER_CARD);
    m_pcsc->Release().Establish();
    {
        CFelicaMod felica;
        EXPECT_EQ(felica.OpenReader(), 0);
        EXPECT_EQ(felica.m_strReader, QString::fromUtf8(known.reader));
        EXPECT_EQ(felica.m_nReaderType, known.type);
        ASSERT_TRUE(felica.m_pReader);
        EXPECT_EQ(typeid(*felica.m_pReader), *known.module);
        auto* module = dynamic_cast<CPcscMod*>(felica.m_pReader.get());
        ASSERT_TRUE(module);
        EXPECT_EQ(module->m_strReaderName, QString::fromUtf8(known.reader));
        // The module's own context goes with the coordinator.
        m_pcsc->Release();
    }
    EXPECT_EQ(m_fake.State().calls, "");
}

TEST_P(KnownReaderTest, RestoreReaderModeWritesTheExitValueOnly)
{
    const KnownCase& known = GetParam();
    ScriptDiscovery({{known.reader, SCARD_S_SUCCESS}});
    m_pcsc->Establish().ConnectDirect(known.reader).Control(known.exitFrame, 256, "").Disconnect(SCARD_UNPOWER_CARD);
    m_pcsc->Release();

    CFelicaMod felica;
    felica.RestoreReaderMode();
    EXPECT_FALSE(felica.m_pReader);
}

INSTANTIATE_TEST_SUITE_P(Table, KnownReaderTest, testing::Values(
    KnownCase{"Type1", "SCR331CL-NTTCom 0", 1, &typeid(CPcscMod), "95 FF", "95 1B"},
    KnownCase{"Type2", "Identiv uTrust 4701 F CT_CL Reader 0", 2, &typeid(CPcscCloud), "95 FF 60", "95 FF FF"},
    KnownCase{"Type3", "Identive CLOUD 4700 F Contactless Reader 0", 3, &typeid(CPcscCloud), "95 FF 60", "95 FF FF"},
    KnownCase{"Type4", "Identiv CLOUD 3701 F Contactless Reader 0", 4, &typeid(CPcscCloud), "95 FF 60", "95 FF FF"},
    KnownCase{"Type5", "Identiv uTrust 4701 F CL Reader [CCID Interface] (55041234) 01 00", 5, &typeid(CPcscCloud),
              "95 FF 60", "95 FF FF"},
    KnownCase{"Type6", "ACS ACR1251 CL Reader PICC 0", 6, &typeid(CPcscMod), "95 FF", "95 1B"},
    KnownCase{"Type7", "ACS ACR1252 1S CL Reader PICC 0", 7, &typeid(CPcscMod), "95 FF", "95 1B"},
    KnownCase{"Type8", "Circle CIR315 CL 0", 8, &typeid(CPcscMrica), "FF 00 41 01 01 0C", "FF 00 41 01 01 01"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FelicaModTest, FirstReaderInListOrderThatAcceptsWins)
{
    // Type 8 is listed before type 1 and is taken; a refusing reader is skipped.
    ScriptDiscovery({{"ACS ACR1251 CL Reader PICC 0", SCARD_E_NO_SMARTCARD},
                     {"Circle CIR315 CL 0", SCARD_S_SUCCESS},
                     {"SCR331CL-NTTCom 0", std::nullopt}});
    CFelicaMod felica;
    EXPECT_EQ(felica.FindReader(), SCARD_S_SUCCESS);
    EXPECT_EQ(felica.m_strReader, QStringLiteral("Circle CIR315 CL 0"));
    EXPECT_EQ(felica.m_nReaderType, 8);
}

TEST_F(FelicaModTest, ACardRemovedDuringTheProbeStillTakesTheReader)
{
    ScriptDiscovery({{"Identiv CLOUD 3701 F Contactless Reader 0", SCARD_W_REMOVED_CARD}});
    CFelicaMod felica;
    EXPECT_EQ(felica.FindReader(), SCARD_S_SUCCESS);
    EXPECT_EQ(felica.m_nReaderType, 4);
}

TEST_F(FelicaModTest, RefusingReadersGiveTheLastConnectResult)
{
    ScriptDiscovery({{"SCR331CL-NTTCom 0", SCARD_E_SHARING_VIOLATION}, {"Circle CIR315 CL 0", SCARD_E_NO_SMARTCARD}});
    CFelicaMod felica;
    EXPECT_EQ(felica.FindReader(), SCARD_E_NO_SMARTCARD);
    EXPECT_TRUE(felica.m_strReader.isEmpty());
}

TEST_F(FelicaModTest, FallsBackToTheLibraryWhenNoKnownReaderAccepts)
{
    ScriptDiscovery({{"SCR331CL-NTTCom 0", SCARD_E_NO_SMARTCARD}});
    std::strcpy(m_fake.State().versionText, "FeliCa Library 2.30");
    {
        CFelicaMod felica;
        EXPECT_EQ(felica.OpenReader(), 0);
        ASSERT_TRUE(felica.m_pReader);
        EXPECT_EQ(typeid(*felica.m_pReader), typeid(CPasoriMod));
        EXPECT_EQ(felica.m_strReader, QStringLiteral("FeliCa Library 2.30"));
        EXPECT_EQ(m_fake.State().calls,
                  "initialize_library open_reader_writer_auto reader_writer_is_alive get_version_information ");
    }
    EXPECT_TRUE(m_fake.State().calls.ends_with("dispose_library "));
}

TEST_F(FelicaModTest, LibraryReplacesAStoppedService)
{
    m_pcsc->Establish(SCARD_E_NO_SERVICE);
    CFelicaMod felica;
    EXPECT_EQ(felica.OpenReader(), 0);
}

TEST_F(FelicaModTest, LibraryThatDoesNotOpenOrAnswer)
{
    struct Case {
        const char* name;
        int openResult;
        int alive;
        int result;
    };
    for (const Case& c : {Case{"does not open", 0, 1, -1}, Case{"reader/writer not alive", 1, 0, -2}}) {
        SCOPED_TRACE(c.name);
        ScriptDiscovery({});
        m_fake.State().openResult = c.openResult;
        m_fake.State().alive = c.alive;
        std::strcpy(m_fake.State().versionText, "FeliCa Library 2.30");
        CFelicaMod felica;
        EXPECT_EQ(felica.OpenReader(), c.result);
        EXPECT_TRUE(felica.m_strReader.isEmpty());
    }
}

TEST_F(FelicaModTest, RestoreReaderModeWithoutAKnownReaderCreatesNothing)
{
    ScriptDiscovery({{"Generic USB Reader 00 00", std::nullopt}});
    CFelicaMod felica;
    felica.RestoreReaderMode();
    EXPECT_FALSE(felica.m_pReader);
    EXPECT_EQ(m_fake.State().calls, "");
}

TEST_F(FelicaModTest, ProbeReaderOpensOnceAndLetsGo)
{
    ScriptDiscovery({{"ACS ACR1252 1S CL Reader PICC 0", SCARD_S_SUCCESS}});
    m_pcsc->Establish()
        .ConnectDirect("ACS ACR1252 1S CL Reader PICC 0")
        .Control("95 FF", 256, "")
        .Disconnect(SCARD_UNPOWER_CARD)
        .Release();
    m_pcsc->Establish().Release();
    ProbeReader();
}

} // namespace
