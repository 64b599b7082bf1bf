// The coordinator: which reader it takes, which module it makes, what it answers.
#include "FakeFelicaLibrary.h"
#include "readers/FelicaMod.h"
#include "readers/PasoriMod.h"
#include "readers/PcscCloud.h"
#include "readers/PcscMod.h"
#include "readers/PcscMrica.h"
#include "readers/PcscPn532.h"
#include "readers/PcscStorageCard.h"
#include "readers/ReaderTable.h"
#include "ScriptedPcsc.h"

#include "HexBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

// The storage card's application identifier in an ATR.
constexpr const char* kStorageCardAid = "4F 0C A0 00 00 03 06";

class FelicaModTest : public PcscScriptTest {
protected:
    CFakeFelicaLibrary m_fake;

    // Discovery of the readers listed; each known one answers its connection with connectRc.
    // When no known reader is taken, the others' states are looked at (a SAM slot's not), and
    // only a reader whose card's ATR is a contactless storage card's is connected to, in list
    // order.
    struct Listed {
        Listed(std::string n, std::optional<LONG> rc, std::optional<std::string> cardAtr = std::nullopt,
               bool taken = false)
            : name(std::move(n)), connectRc(rc), atr(std::move(cardAtr)), takenByAtr(taken)
        {
        }
        std::string name;
        std::optional<LONG> connectRc;  // none: not in the table
        std::optional<std::string> atr; // a reader outside the table: its card's ATR
        bool takenByAtr = false;
    };
    void ScriptDiscovery(const std::vector<Listed>& readers)
    {
        std::vector<std::string> names;
        for (const Listed& reader : readers)
            names.push_back(reader.name);
        m_pcsc->Establish().List(names);
        bool taken = false;
        for (const Listed& reader : readers) {
            if (!reader.connectRc)
                continue;
            m_pcsc->ConnectShared(reader.name, *reader.connectRc);
            if (*reader.connectRc == SCARD_S_SUCCESS)
                m_pcsc->Disconnect(SCARD_LEAVE_CARD);
            taken = *reader.connectRc == SCARD_S_SUCCESS || *reader.connectRc == SCARD_W_REMOVED_CARD;
            if (taken)
                break;
        }
        if (taken) {
            m_pcsc->Release();
            return;
        }
        std::vector<std::string> looked;
        std::vector<std::string> atrs;
        for (const Listed& reader : readers) {
            if (!reader.connectRc && reader.name.find(" SAM]") == std::string::npos) {
                looked.push_back(reader.name);
                atrs.push_back(reader.atr.value_or(""));
            }
        }
        if (!looked.empty())
            m_pcsc->States(looked, atrs);
        for (const std::string& name : looked) {
            const Listed& reader = *std::find_if(readers.begin(), readers.end(),
                                                 [&](const Listed& r) { return r.name == name; });
            if (!reader.atr || reader.atr->find(kStorageCardAid) == std::string::npos)
                continue;
            m_pcsc->ConnectShared(reader.name).Disconnect(SCARD_LEAVE_CARD);
            if (reader.takenByAtr)
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
        // Readers outside the table are looked at after the known ones, for a FeliCa card's ATR.
        std::vector<std::string> others;
        for (const std::string& reader : failure.readers) {
            if (!reader.starts_with("SCR331CL-NTTCom"))
                others.push_back(reader);
        }
        if (!others.empty())
            m_pcsc->States(others, std::vector<std::string>(others.size()));
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
    KnownCase{"Type8", "Circle CIR315 CL 0", 8, &typeid(CPcscMrica), "FF 00 41 01 01 0C", "FF 00 41 01 01 01"},
    // The same models as pcscd names them under Debian's CCID driver and under ACS's driver.
    KnownCase{"Acr1252Libccid", "ACS ACR1252 Dual Reader [ACR1252 Dual Reader PICC] 00 00", 7, &typeid(CPcscMod),
              "95 FF", "95 1B"},
    KnownCase{"Acr1252AcsDriver", "ACS ACR1252 1S CL Reader [ACR1252 1S CL Reader PICC] 00 00", 7, &typeid(CPcscMod),
              "95 FF", "95 1B"},
    KnownCase{"Acr1251AcsDriver", "ACS ACR1251 1S CL Reader [ACR1251 1S CL Reader PICC] (1A2B3C4D) 00 00", 6,
              &typeid(CPcscMod), "95 FF", "95 1B"},
    KnownCase{"Cloud4700UnderThe4500Name", "Identive Identive CLOUD 4500 F Dual Interface Reader 00 01", 3,
              &typeid(CPcscCloud), "95 FF 60", "95 FF FF"},
    KnownCase{"Circle315Libccid", "Circle CIR315 [CIR315 PICC] 00 00", 8, &typeid(CPcscMrica), "FF 00 41 01 01 0C",
              "FF 00 41 01 01 01"}),
    [](const auto& info) { return std::string(info.param.name); });

// Names as pcscd lists them: a driver's friendly name, interface, serial, reader and slot.
struct LinuxNameCase {
    const char* name;
    int type; // 0: not taken as a known reader
};

class LinuxNameTest : public testing::TestWithParam<LinuxNameCase> {};

TEST_P(LinuxNameTest, MatchesTheModelsContactlessSlotOnly)
{
    EXPECT_EQ(MatchKnownReader(GetParam().name), GetParam().type) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, LinuxNameTest, testing::Values(
    LinuxNameCase{"ACS ACR1252 Dual Reader [ACR1252 Dual Reader PICC] 00 00", 7},
    LinuxNameCase{"ACS ACR1252 Dual Reader [ACR1252 Dual Reader SAM] 01 00", 0},
    LinuxNameCase{"ACS ACR1252 Dual Reader 00 00", 7},
    LinuxNameCase{"ACS ACR1252 Dual Reader 00 01", 0}, // the SAM slot without an interface name
    LinuxNameCase{"ACS ACR1252 CL Reader (0123ABCD) 00 00", 7},
    LinuxNameCase{"ACS ACR1251 Dual Reader [ACR1251 Dual Reader SAM] 00 00", 0},
    LinuxNameCase{"ACS ACR1251 CL Reader 00 00", 6},
    LinuxNameCase{"Identiv Identiv uTrust 4701 F Dual Interface Reader [CL Reader] 01 00", 5},
    LinuxNameCase{"Identiv Identiv uTrust 4701 F Dual Interface Reader [Contact Reader] 00 00", 0},
    LinuxNameCase{"Identiv Identiv uTrust 4701 F Dual Interface Reader 00 00", 0},
    LinuxNameCase{"Identiv uTrust 3701 F CL Reader 00 00", 4},
    LinuxNameCase{"Circle CIR315 Dual & 1S [CIR315 SAM] 00 02", 0},
    LinuxNameCase{"Circle CIR315 DI 00 01", 8},
    // A friendly name followed by something that is not pcscd's suffix, and other readers.
    LinuxNameCase{"ACS ACR1252 Dual Reader Clone 00 00", 0},
    LinuxNameCase{"ACS ACR122U PICC Interface 00 00", 0},
    LinuxNameCase{"SONY FeliCa RC-S300/P (0236798) 00 00", 0}));

struct AtrCase {
    const char* name;
    const char* atr;
    bool felica;
};

class FelicaAtrTest : public testing::TestWithParam<AtrCase> {};

TEST_P(FelicaAtrTest, StorageCardAtrNamesTheCard)
{
    EXPECT_EQ(AtrAnnouncesFelica(HexBytes(GetParam().atr)), GetParam().felica);
}

INSTANTIATE_TEST_SUITE_P(Atrs, FelicaAtrTest, testing::Values(
    AtrCase{"Felica", "3B 8F 80 01 80 4F 0C A0 00 00 03 06 11 00 3B 00 00 00 00 42", true},
    AtrCase{"MifareClassic1K", "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A", false},
    AtrCase{"OtherRid", "3B 8F 80 01 80 4F 0C A0 00 00 03 07 11 00 3B 00 00 00 00 43", false},
    AtrCase{"CutShort", "3B 8F 80 01 80 4F 0C A0 00 00 03 06 11", false},
    AtrCase{"ContactCard", "3B F8 13 00 00 81 31 FE 15 59 75 62 69 6B 65 79 34 D4", false}),
    [](const auto& info) { return std::string(info.param.name); });

// Readers outside the table: the module each gets, and no escape command on opening.
struct OtherReaderCase {
    const char* name;
    const char* reader;
    std::string atr; // what decides for a reader no driver name identifies
    int type;
    const std::type_info* module;
};

void PrintTo(const OtherReaderCase& c, std::ostream* os)
{
    *os << c.name;
}

class OtherReaderTest : public FelicaModTest, public testing::WithParamInterface<OtherReaderCase> {};

constexpr const char* kFelicaAtr = "3B 8F 80 01 80 4F 0C A0 00 00 03 06 11 00 3B 00 00 00 00 42";
// An ATR that announces nothing: the name alone decides for the readers the drivers name.
constexpr const char* kPlainAtr = "3B 80 80 01 01";
// A bank card's in a contact slot.
constexpr const char* kContactCardAtr = "3B 6E 00 00 80 31 80 66 B0 84 12 01 6E 01 83 00 90 00";

TEST_P(OtherReaderTest, OpenReaderMakesTheDialectsModule)
{
    const OtherReaderCase& other = GetParam();
    m_pcsc->Establish().List({"Generic Contact Reader 00 00", other.reader});
    // The contact reader's card is only looked at, never connected to (and so never powered);
    // a dialect's reader is known by its name alone.
    const bool byAtr = other.type == kReaderTypeFelicaAtr;
    if (byAtr)
        m_pcsc->States({"Generic Contact Reader 00 00", other.reader}, {kContactCardAtr, other.atr});
    else
        m_pcsc->States({"Generic Contact Reader 00 00"}, {kContactCardAtr});
    m_pcsc->ConnectShared(other.reader);
    m_pcsc->Disconnect(SCARD_LEAVE_CARD).Release();
    // The module made to write the run mode sends nothing.
    m_pcsc->Establish().Release().Establish();
    {
        CFelicaMod felica;
        ASSERT_EQ(felica.OpenReader(), 0);
        EXPECT_EQ(felica.m_nReaderType, other.type);
        EXPECT_EQ(felica.m_strReader, QString::fromUtf8(other.reader));
        ASSERT_TRUE(felica.m_pReader);
        EXPECT_EQ(typeid(*felica.m_pReader), *other.module);
        m_pcsc->Release();
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, OtherReaderTest, testing::Values(
    OtherReaderCase{"SonyRcS300", "SONY FeliCa RC-S300/P (0236798) 00 00", kPlainAtr, kReaderTypeSonyStorageCard,
                    &typeid(CPcscStorageCard)},
    OtherReaderCase{"SonyRcS660", "SONY FeliCa RC-S660/U 00 00", kPlainAtr, kReaderTypeSonyStorageCard,
                    &typeid(CPcscStorageCard)},
    OtherReaderCase{"Acr122uLibccid", "ACS ACR122U PICC Interface 00 00", kPlainAtr, kReaderTypeAcr122u,
                    &typeid(CPcscPn532)},
    OtherReaderCase{"Acr122uAcsDriver", "ACS ACR122U 00 00", kPlainAtr, kReaderTypeAcr122u, &typeid(CPcscPn532)},
    OtherReaderCase{"UnknownWithFelicaAtr", "Some Vendor NFC Reader [Contactless] 00 00", kFelicaAtr,
                    kReaderTypeFelicaAtr, &typeid(CPcscStorageCard)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FelicaModTest, AKnownReaderIsPreferredWhereverItIsListed)
{
    ScriptDiscovery({{"SONY FeliCa RC-S300/S 00 00", std::nullopt},
                     {"ACS ACR1252 Dual Reader [ACR1252 Dual Reader SAM] 01 00", std::nullopt},
                     {"ACS ACR1252 Dual Reader [ACR1252 Dual Reader PICC] 00 00", SCARD_S_SUCCESS}});
    CFelicaMod felica;
    EXPECT_EQ(felica.FindReader(), SCARD_S_SUCCESS);
    EXPECT_EQ(felica.m_strReader, QStringLiteral("ACS ACR1252 Dual Reader [ACR1252 Dual Reader PICC] 00 00"));
    EXPECT_EQ(felica.m_nReaderType, 7);
}

TEST_F(FelicaModTest, NeitherASamSlotNorACardThatIsNotFelicaIsTaken)
{
    m_fake.Remove();
    ScriptDiscovery({{"ACS ACR1252 Dual Reader [ACR1252 Dual Reader SAM] 01 00", std::nullopt, std::string(kFelicaAtr)},
                     {"Generic NFC Reader 00 00", std::nullopt,
                      std::string("3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A")}});
    CFelicaMod felica;
    EXPECT_EQ(felica.OpenReader(), -1);
    EXPECT_TRUE(felica.m_strReader.isEmpty());
}

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
