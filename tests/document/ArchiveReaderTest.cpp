// Every length-prefix form of a text, in both text forms.
#include "document/ArchiveError.h"
#include "document/ArchiveReader.h"
#include "EntryFileBytes.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include <ostream>
#include <string>

namespace {

QString ReadOneText(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CArchiveReader ar(buffer);
    return ar.ReadText();
}

}  // namespace

struct TextCase {
    const char* name;
    const char* hex;
    QString text;
};

void PrintTo(const TextCase& c, std::ostream* os)
{
    *os << c.name;
}

class ArchiveText : public testing::TestWithParam<TextCase> {};

TEST_P(ArchiveText, ReadsPrefixForm)
{
    EXPECT_EQ(ReadOneText(EntryFileBytes().Hex(GetParam().hex).Bytes()), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ArchiveText,
    testing::Values(
        TextCase{"EightBitEmpty", "00", QString()},
        TextCase{"EightBitByte", "03 41 42 43", QStringLiteral("ABC")},
        TextCase{"EightBitWord", "FF 03 00 41 42 43", QStringLiteral("ABC")},
        TextCase{"EightBitDword", "FF FF FF 03 00 00 00 41 42 43", QStringLiteral("ABC")},
        TextCase{"EightBitQword", "FF FF FF FF FF FF FF 03 00 00 00 00 00 00 00 41 42 43", QStringLiteral("ABC")},
        TextCase{"EightBitShiftJis", "0A 93 8C 8B 9E 81 60 87 40 B1 41", QStringLiteral("東京～①ｱA")},
        TextCase{"UnicodeEmpty", "FF FE FF 00", QString()},
        TextCase{"UnicodeByte", "FF FE FF 01 42 30", QStringLiteral("あ")},
        TextCase{"UnicodeWord", "FF FE FF FF 01 00 42 30", QStringLiteral("あ")},
        TextCase{"UnicodeDword", "FF FE FF FF FF FF 01 00 00 00 42 30", QStringLiteral("あ")},
        TextCase{"UnicodeQword", "FF FE FF FF FF FF FF FF FF FF 01 00 00 00 00 00 00 00 42 30", QStringLiteral("あ")}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

// The largest allowed 64-bit length is not rejected, but its data is missing.
TEST(ArchiveText, LargestLengthWithoutDataIsEndOfFile)
{
    try {
        ReadOneText(EntryFileBytes().Hex("FF FE FF FF FF FF FF FF FF FF FF FF FF 7F 00 00 00 00").Bytes());
        ADD_FAILURE() << "read a text that is not there";
    } catch (const CArchiveError& e) {
        EXPECT_EQ(e.GetKind(), CArchiveError::Kind::EndOfFile);
    }
}

TEST(ArchiveText, SecondFffeAfterMarkerIsLength65534)
{
    EntryFileBytes b;
    b.Hex("FF FE FF FF FE FF");
    for (int i = 0; i < 65534; ++i)
        b.Hex("42 30");
    const QString text = ReadOneText(b.Bytes());
    EXPECT_EQ(text.size(), 65534);
    EXPECT_EQ(text, QString(65534, QChar(u'あ')));
}
