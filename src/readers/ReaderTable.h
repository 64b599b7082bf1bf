// Which reader module serves a PC/SC reader: the known-reader table with its readers'
// names under the Linux drivers, the readers of the extra command dialects, and the ATR
// that announces a FeliCa card on any other contactless reader.
#pragma once

#include "readers/ReaderMod.h"

#include <PCSC/wintypes.h>

#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

// Reader types past the known-reader table's positions.
enum EDialectReaderType : int {
    kReaderTypeSonyStorageCard = 9, // Sony RC-S300 and RC-S660 (CCID), storage-card commands
    kReaderTypeAcr122u = 10,        // ACS ACR122U, PN532 commands through direct transmit
    kReaderTypeFelicaAtr = 11,      // any other reader whose card's ATR announces FeliCa
};

// 1-based type of the known reader named name: the first table text occurring in it, or
// else the type of a driver's friendly name for one of the table's models, taken only at
// its contactless slot. 0 when none matches.
int MatchKnownReader(const std::string& name);
// kReaderTypeSonyStorageCard or kReaderTypeAcr122u for a reader named by its driver as
// one of those; 0 otherwise.
int MatchDialectReader(const std::string& name);
// False for a slot whose interface names it a SAM or contact slot.
bool MayBeContactlessSlot(const std::string& name);
// The type of a reader outside the table, from its name and its probe connection's code and
// card ATR: a reader named as one of the dialects' readers and there, with or without a
// card; or any other contactless slot whose card's ATR announces FeliCa. 0 for none.
int MatchOtherReader(const std::string& name, LONG connectRc, std::span<const uint8_t> atr);
// The ATR in the PC/SC storage-card form (application identifier with RID A0 00 00 03 06):
// a contactless card, FeliCa or another kind.
bool AtrAnnouncesStorageCard(std::span<const uint8_t> atr);
// The ATR in the PC/SC storage-card form (application identifier with RID A0 00 00 03 06)
// whose standard byte and card name say FeliCa.
bool AtrAnnouncesFelica(std::span<const uint8_t> atr);

// The module class for a reader type; any type without a class of its own gets CPcscMod.
std::unique_ptr<CReaderMod> CreatePcscModule(int nReaderType, const QString& strReader);
// The module class's name and what the type stands for, for people reading a listing.
QString DescribeReaderType(int nReaderType);
