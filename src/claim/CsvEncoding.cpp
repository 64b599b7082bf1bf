#include "claim/CsvEncoding.h"

#include <QStringEncoder>

namespace {

// Windows' Shift_JIS (CP932, "windows-31j" to ICU) is what spreadsheets read;
// it maps a few characters to other code points than JIS does, so text typed
// or copied on Linux is moved to the code points CP932 holds first.
QString ToCp932CodePoints(QString text)
{
    static const struct {
        char16_t jis;
        char16_t cp932;
    } kVariants[] = {
        {u'\u301C', u'\uFF5E'}, // WAVE DASH -> FULLWIDTH TILDE
        {u'\u2016', u'\u2225'}, // DOUBLE VERTICAL LINE -> PARALLEL TO
        {u'\u2212', u'\uFF0D'}, // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
        {u'\u00A2', u'\uFFE0'}, // CENT SIGN
        {u'\u00A3', u'\uFFE1'}, // POUND SIGN
        {u'\u00AC', u'\uFFE2'}, // NOT SIGN
        {u'\u2014', u'\u2015'}, // EM DASH -> HORIZONTAL BAR
    };
    for (const auto& v : kVariants)
        text.replace(QChar(v.jis), QChar(v.cp932));
    return text;
}

QByteArray ToShiftJis(const QString& text)
{
    const QString cp932 = ToCp932CodePoints(text);
    QStringEncoder whole("windows-31j");
    QByteArray bytes = whole.encode(cp932);
    if (!whole.hasError())
        return bytes;
    // The converter's own substitute is a byte pair that spreadsheets show as
    // garbage; one character at a time, a missing one becomes "?".
    bytes.clear();
    for (qsizetype i = 0; i < cp932.size();) {
        const qsizetype length = cp932.at(i).isHighSurrogate() && i + 1 < cp932.size() ? 2 : 1;
        QStringEncoder one("windows-31j");
        const QByteArray encoded = one.encode(QStringView(cp932).mid(i, length));
        bytes += one.hasError() ? QByteArray("?") : encoded;
        i += length;
    }
    return bytes;
}

} // namespace

QByteArray EncodeCsvText(const QString& text, CsvEncoding encoding)
{
    return encoding == CsvEncoding::Utf8Bom ? text.toUtf8() : ToShiftJis(text);
}

QByteArray CsvFilePrefix(CsvEncoding encoding)
{
    return encoding == CsvEncoding::Utf8Bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
}

bool ParseCsvEncoding(const QString& name, CsvEncoding& encoding)
{
    if (name == QLatin1String("sjis")) {
        encoding = CsvEncoding::ShiftJis;
        return true;
    }
    if (name == QLatin1String("utf8")) {
        encoding = CsvEncoding::Utf8Bom;
        return true;
    }
    return false;
}
