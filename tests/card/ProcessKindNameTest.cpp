#include "card/ProcessKindName.h"

#include <gtest/gtest.h>

#include <map>

TEST(ProcessKindName, NamesEveryKnownCodeAndNothingElse)
{
    const std::map<int, QString> table = {
        {0x01, "運賃支払"}, {0x02, "チャージ"}, {0x03, "磁気券購入"}, {0x04, "精算"},
        {0x05, "入場精算"}, {0x06, "改札窓口処理"}, {0x07, "新規発行"}, {0x08, "窓口控除"},
        {0x0D, "バス等"}, {0x0F, "バス等"}, {0x11, "再発行"}, {0x13, "支払(新幹線利用)"},
        {0x14, "入場時オートチャージ"}, {0x15, "出場時オートチャージ"}, {0x1D, "他ICカード精算"},
        {0x1F, "バスチャージ"}, {0x23, "バス等企画券購入"}, {0x46, "物販"}, {0x48, "特典チャージ"},
        {0x49, "現金チャージ"}, {0x4A, "物販取消"}, {0x4B, "入場物販"}, {0x84, "他社精算"},
        {0x85, "他社入場精算"}, {0x99, "現金併用精算"}, {0xC6, "現金併用物販"},
        {0xCB, "入場現金併用物販"},
    };
    for (int code = 0; code <= 0xFF; ++code) {
        const auto it = table.find(code);
        const QString expected = it == table.end() ? QString() : it->second;
        EXPECT_EQ(ProcessKindName(static_cast<uint8_t>(code)), expected) << "code " << code;
    }
}

TEST(ProcessKindName, ParenthesesAreAscii)
{
    EXPECT_TRUE(ProcessKindName(0x13).contains(QLatin1Char('(')));
}
