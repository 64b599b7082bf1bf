// The terminal and process kind codes the program sorts entries by, and the three
// rules that sort them. The rules differ on purpose: each serves its own step.
#pragma once

#include "card/EntryInfo.h"

#include <cstdint>

namespace ProcessKinds {

// Terminal kinds.
constexpr uint8_t kBusTerminal = 0x05;
constexpr uint8_t kGateTerminal = 0x16;        // a ticket gate
constexpr uint8_t kShopTerminal = 0xC7;        // 199
constexpr uint8_t kVendingMachine = 0xC8;      // 200

// Process kinds, with the fare filter's decimal numbers where it lists them.
constexpr uint8_t kFarePayment = 0x01;         // 運賃支払
constexpr uint8_t kCharge = 0x02;              // チャージ
constexpr uint8_t kNewIssue = 0x07;            // 7 新規発行
constexpr uint8_t kBusFare = 0x0D;             // バス等
constexpr uint8_t kBusFareOther = 0x0F;        // バス等
constexpr uint8_t kReissue = 0x11;             // 17 再発行
constexpr uint8_t kBusCharge = 0x1F;           // バスチャージ
constexpr uint8_t kBusTicket = 0x23;           // バス等企画券購入
constexpr uint8_t kShopPurchase = 0x46;        // 70 物販
constexpr uint8_t kBonusCharge = 0x48;         // 72 特典チャージ
constexpr uint8_t kCashCharge = 0x49;          // 73 現金チャージ
constexpr uint8_t kShopCancel = 0x4A;          // 74 物販取消
constexpr uint8_t kShopAtEntry = 0x4B;         // 75 入場物販
constexpr uint8_t kShopWithCash = 0xC6;        // 198 現金併用物販
constexpr uint8_t kShopAtEntryWithCash = 0xCB; // 203 入場現金併用物販

// Payment kind of a charge paid by credit card.
constexpr uint8_t kCreditPayment = 2;

} // namespace ProcessKinds

// Decoding: whether a new entry is ticked for the claim. Issue and reissue fees are
// no journeys and shops sell goods; a charge fails on its amount.
bool IsClaimedWhenDecoded(const CEntryInfo& entry);

// A new-issue or reissue record: the card's counter starts with it.
bool StartsCounter(uint8_t processKind);

// The read pass: entries it leaves without station names. The decoder reads
// bonus charges (0x48) as rail blocks, but their station bytes name no place.
bool IsSalesEntry(const CEntryInfo& entry);

// The list's fare filter: what stays when "全て表示" is off. It also drops the
// charges, which the decoder's rule leaves to the amount test.
bool IsClaimableFare(const CEntryInfo& entry);

// The one claim rule: an entry counts towards the claim when it is ticked and is a
// claimable fare. A tick on anything else (a shop, a charge, from an old file)
// counts nothing anywhere: list total, report, CSV, clipboard, command line.
bool CountsTowardsClaim(const CEntryInfo& entry);

// Shop terminals and vending machines: their blocks carry a time of day.
bool IsShopTerminal(uint8_t terminalKind);
// Shops and sales terminals: blocks without station codes. Tested before the bus rule.
bool IsShopBlock(uint8_t terminalKind, uint8_t processKind);
// Bus blocks: company and stop codes instead of line and station bytes.
bool IsBusBlock(uint8_t terminalKind, uint8_t processKind);
