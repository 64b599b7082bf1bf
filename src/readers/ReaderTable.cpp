#include "readers/ReaderTable.h"

#include "readers/PcscCloud.h"
#include "readers/PcscMod.h"
#include "readers/PcscMrica.h"
#include "readers/PcscPn532.h"
#include "readers/PcscStorageCard.h"

#include <PCSC/pcsclite.h>

#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace {

enum class ModuleKind { Pcsc, Cloud, Mrica, StorageCard, Pn532 };

struct KnownReader {
    const char* name;
    ModuleKind kind;
};

// A reader matches the first entry whose text occurs in its name, so the position is the
// reader type; keep the order, the reader types are the positions.
constexpr KnownReader kKnownReaders[] = {
    {"SCR331CL-NTTCom", ModuleKind::Pcsc},
    {"Identiv uTrust 4701 F CT_CL Reader", ModuleKind::Cloud},
    {"Identive CLOUD 4700 F Contactless Reader", ModuleKind::Cloud},
    {"Identiv CLOUD 3701 F Contactless Reader", ModuleKind::Cloud},
    {"Identiv uTrust 4701 F CL Reader", ModuleKind::Cloud},
    {"ACS ACR1251 CL Reader PICC", ModuleKind::Pcsc},
    {"ACS ACR1252 1S CL Reader PICC", ModuleKind::Pcsc},
    {"Circle CIR315 CL", ModuleKind::Mrica},
};

constexpr int kKnownReaderCount = static_cast<int>(std::size(kKnownReaders));

// A driver's friendly name for a USB model, and the slot that is the contactless one when
// the reader's name carries no interface name that tells.
struct DriverName {
    const char* friendlyName;
    int readerType;
    unsigned contactlessSlot;
};

// The table's models as Debian's CCID driver (libccid) and ACS's own driver (libacsccid1)
// name them, matched by USB vendor and product id. The SCR331CL-NTTCom is in neither list.
constexpr DriverName kKnownModelNames[] = {
    // 04E6:5724, the uTrust 4701 F; its contactless interface is the CL Reader entry.
    {"Identiv Identiv uTrust 4701 F Dual Interface Reader", 5, 1},
    // 04E6:5720: the CLOUD 4700 F reports the USB id of the CLOUD 4500 F, so the CCID
    // driver calls it by that name.
    {"Identive Identive CLOUD 4500 F Dual Interface Reader", 3, 1},
    // 04E6:5791, sold as CLOUD 3701 F and uTrust 3701 F.
    {"Identiv uTrust 3701 F CL Reader", 4, 0},
    // 072F:221A (ACR1251U) under both drivers; 072F:2229 and 072F:224F under ACS's.
    {"ACS ACR1251 Dual Reader", 6, 0},
    {"ACS ACR1251 1S CL Reader", 6, 0},
    {"ACS ACR1251 CL Reader", 6, 0},
    // 072F:223B (ACR1252U) and 072F:223E, 072F:225B, under both drivers.
    {"ACS ACR1252 Dual Reader", 7, 0},
    {"ACS ACR1252 1S CL Reader", 7, 0},
    {"ACS ACR1252 Reader", 7, 0},
    {"ACS ACR1252 CL Reader", 7, 0},
    // 31AA:3000 to 3100, 0324 and 7004; the dual-interface models keep the contact slot first.
    {"Circle CIR315", 8, 0},
    {"Circle CIR315 CL", 8, 0},
    {"Circle CIR315 Dual & 1S", 8, 1},
    {"Circle CIR315 DI", 8, 1},
};

// Readers of the extra dialects, under both drivers where both list them.
constexpr DriverName kDialectModelNames[] = {
    {"SONY FeliCa RC-S300/S", kReaderTypeSonyStorageCard, 0}, // 054C:0DC8
    {"SONY FeliCa RC-S300/P", kReaderTypeSonyStorageCard, 0}, // 054C:0DC9
    {"SONY FeliCa RC-S660/U", kReaderTypeSonyStorageCard, 0}, // 054C:0D8F
    {"ACS ACR122U PICC Interface", kReaderTypeAcr122u, 0},     // 072F:2200, CCID driver
    {"ACS ACR122U", kReaderTypeAcr122u, 0},                    // 072F:2200 and 222D, ACS driver
};

// What pcscd appends to a driver's friendly name: " [interface]" when the device names
// its interface, " (serial)" when it has a serial number, then the reader and slot numbers.
struct NameSuffix {
    QString interfaceName;
    unsigned slot = 0;
};

std::optional<NameSuffix> ParseSuffix(const QString& suffix)
{
    static const QRegularExpression kSuffix(
        QStringLiteral("^(?: \\[([^\\]]*)\\])?(?: \\([^)]*\\))? [0-9A-Fa-f]{2} ([0-9A-Fa-f]{2})$"));
    const QRegularExpressionMatch match = kSuffix.match(suffix);
    if (!match.hasMatch())
        return std::nullopt;
    return NameSuffix{match.captured(1), match.captured(2).toUInt(nullptr, 16)};
}

enum class SlotKind { Contactless, Other, Unknown };

// What an interface name says about its slot, in the words the drivers' devices use
// ("ACR1252 Dual Reader PICC", "... SAM", "CL Reader", "Contact Reader").
SlotKind SlotKindOf(const QString& interfaceName)
{
    static const QRegularExpression kWords(QStringLiteral("[^A-Za-z0-9]+"));
    const QStringList words = interfaceName.split(kWords, Qt::SkipEmptyParts);
    const auto has = [&words](std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(),
                           [&words](const char* n) { return words.contains(QLatin1String(n), Qt::CaseInsensitive); });
    };
    if (has({"SAM"}))
        return SlotKind::Other;
    if (has({"PICC", "CL", "Contactless"}))
        return SlotKind::Contactless;
    if (has({"ICC", "CT", "Contact"}))
        return SlotKind::Other;
    return SlotKind::Unknown;
}

// The type of the first entry whose friendly name the reader's name is made from, at the
// entry's contactless slot; 0 for none.
int MatchDriverName(std::span<const DriverName> names, const std::string& readerName)
{
    const QString name = QString::fromStdString(readerName);
    for (const DriverName& entry : names) {
        const QLatin1String friendly(entry.friendlyName);
        if (!name.startsWith(friendly))
            continue;
        const std::optional<NameSuffix> suffix = ParseSuffix(name.mid(friendly.size()));
        if (!suffix)
            continue;
        const SlotKind kind = SlotKindOf(suffix->interfaceName);
        if (kind == SlotKind::Contactless || (kind == SlotKind::Unknown && suffix->slot == entry.contactlessSlot))
            return entry.readerType;
    }
    return 0;
}

ModuleKind KindOf(int nReaderType)
{
    if (nReaderType >= 1 && nReaderType <= kKnownReaderCount)
        return kKnownReaders[nReaderType - 1].kind;
    switch (nReaderType) {
    case kReaderTypeSonyStorageCard:
    case kReaderTypeFelicaAtr:
        return ModuleKind::StorageCard;
    case kReaderTypeAcr122u:
        return ModuleKind::Pn532;
    default:
        return ModuleKind::Pcsc;
    }
}

} // namespace

int MatchKnownReader(const std::string& name)
{
    for (int type = 1; type <= kKnownReaderCount; ++type) {
        if (name.find(kKnownReaders[type - 1].name) != std::string::npos)
            return type;
    }
    return MatchDriverName(kKnownModelNames, name);
}

int MatchDialectReader(const std::string& name)
{
    return MatchDriverName(kDialectModelNames, name);
}

bool MayBeContactlessSlot(const std::string& name)
{
    const QString text = QString::fromStdString(name);
    const qsizetype open = text.lastIndexOf(QLatin1String(" ["));
    if (open < 0)
        return true;
    const std::optional<NameSuffix> suffix = ParseSuffix(text.mid(open));
    return !suffix || SlotKindOf(suffix->interfaceName) != SlotKind::Other;
}

int MatchOtherReader(const std::string& name, LONG connectRc, std::span<const uint8_t> atr)
{
    if (const int type = MatchDialectReader(name))
        return connectRc == SCARD_S_SUCCESS || connectRc == SCARD_W_REMOVED_CARD ? type : 0;
    return connectRc == SCARD_S_SUCCESS && MayBeContactlessSlot(name) && AtrAnnouncesFelica(atr)
        ? kReaderTypeFelicaAtr
        : 0;
}

namespace {

// Application identifier tag 4F, length 0C, RID A0 00 00 03 06: what a contactless reader
// puts in the ATR it makes up for a storage card.
constexpr uint8_t kStorageCardAid[] = {0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06};

// What follows the storage card's application identifier; nothing when there is none.
std::optional<std::span<const uint8_t>> AfterStorageCardAid(std::span<const uint8_t> atr)
{
    const auto at = std::search(atr.begin(), atr.end(), std::begin(kStorageCardAid), std::end(kStorageCardAid));
    if (at == atr.end())
        return std::nullopt;
    return atr.subspan(static_cast<size_t>(at - atr.begin()) + std::size(kStorageCardAid));
}

} // namespace

bool AtrAnnouncesStorageCard(std::span<const uint8_t> atr)
{
    return AfterStorageCardAid(atr).has_value();
}

bool AtrAnnouncesFelica(std::span<const uint8_t> atr)
{
    // The standard byte and two card name bytes: standard 11 is FeliCa, card name 00 3B the FeliCa card.
    static constexpr uint8_t kFelica[] = {0x11, 0x00, 0x3B};
    const std::optional<std::span<const uint8_t>> rest = AfterStorageCardAid(atr);
    return rest && rest->size() >= std::size(kFelica) && std::equal(std::begin(kFelica), std::end(kFelica), rest->begin());
}

std::unique_ptr<CReaderMod> CreatePcscModule(int nReaderType, const QString& strReader)
{
    switch (KindOf(nReaderType)) {
    case ModuleKind::Cloud:
        return std::make_unique<CPcscCloud>(strReader);
    case ModuleKind::Mrica:
        return std::make_unique<CPcscMrica>(strReader);
    case ModuleKind::StorageCard:
        return std::make_unique<CPcscStorageCard>(strReader);
    case ModuleKind::Pn532:
        return std::make_unique<CPcscPn532>(strReader);
    case ModuleKind::Pcsc:
        break;
    }
    return std::make_unique<CPcscMod>(strReader);
}

QString DescribeReaderType(int nReaderType)
{
    static const char* const kClassNames[] = {"CPcscMod", "CPcscCloud", "CPcscMrica", "CPcscStorageCard",
                                              "CPcscPn532"};
    const QString module = QLatin1String(kClassNames[static_cast<int>(KindOf(nReaderType))]);
    if (nReaderType >= 1 && nReaderType <= kKnownReaderCount)
        return QStringLiteral("%1, known reader type %2 \"%3\"")
            .arg(module)
            .arg(nReaderType)
            .arg(QLatin1String(kKnownReaders[nReaderType - 1].name));
    switch (nReaderType) {
    case kReaderTypeSonyStorageCard:
        return module + QStringLiteral(", Sony reader (PC/SC storage-card commands)");
    case kReaderTypeAcr122u:
        return module + QStringLiteral(", ACS ACR122U (PN532 commands)");
    case kReaderTypeFelicaAtr:
        return module + QStringLiteral(", the card's ATR announces FeliCa (PC/SC storage-card commands)");
    default:
        return module;
    }
}
