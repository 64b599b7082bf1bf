#include "cli/EntryJsonWriter.h"

#include "card/GateLog.h"
#include "card/ProcessKinds.h"
#include "cli/OutputSink.h"

#include <QBuffer>

#include <charconv>
#include <cmath>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// QJsonObject sorts its keys; the record's field order reads better, so the
// object is written by hand.
class CObjectWriter {
public:
    CObjectWriter(COutputSink& out, int indent)
        : m_out(out)
        , m_indent(indent)
    {
        m_out.Write('{');
    }

    // Starts a member; its value follows.
    void Key(const char* key)
    {
        m_out.Write(m_first ? QByteArrayView("\n") : QByteArrayView(",\n"));
        m_first = false;
        Indent(m_indent + 2);
        m_out.Write('"');
        m_out.Write(QByteArrayView(key));
        m_out.Write("\": ");
    }

    void Int(const char* key, int64_t value)
    {
        Key(key);
        char* room = m_out.Reserve(24);
        m_out.Advance(std::to_chars(room, room + 24, value).ptr - room);
    }

    void Bool(const char* key, bool value)
    {
        Key(key);
        m_out.Write(value ? QByteArrayView("true") : QByteArrayView("false"));
    }

    // A gate time as "HH:MM", or null while unknown.
    void Time(const char* key, int16_t minutes)
    {
        if (minutes < 0) {
            Key(key);
            m_out.Write("null");
        } else {
            Text(key, GateTimeText(minutes));
        }
    }

    void Text(const char* key, const QString& value)
    {
        Key(key);
        WriteJsonString(m_out, value);
    }

    void Hex(const char* key, const std::array<uint8_t, 8>& bytes)
    {
        Key(key);
        m_out.Write('"');
        m_out.Write(HexText(bytes.data(), bytes.size()));
        m_out.Write('"');
    }

    template <typename Real>
    void Number(const char* key, Real value)
    {
        Key(key);
        if (!std::isfinite(value)) {
            m_out.Write("null"); // JSON has no NaN or infinity; a stored file might
            return;
        }
        // Shortest text that reads back as the same value of its own width.
        char* room = m_out.Reserve(64);
        m_out.Advance(std::to_chars(room, room + 64, value).ptr - room);
    }

    void Close()
    {
        m_out.Write('\n');
        Indent(m_indent);
        m_out.Write('}');
    }

    void Indent(int count) { m_out.Write(QByteArrayView("          ", count)); }

private:
    COutputSink& m_out;
    int m_indent;
    bool m_first = true;
};

void WriteEntry(COutputSink& out, const CEntryInfo& e)
{
    CObjectWriter w(out, 4);
    w.Int("reserved", e.reserved);
    w.Int("apply", e.apply);
    w.Bool("claimed", CountsTowardsClaim(e));
    w.Hex("idm", e.idm);
    w.Int("terminalKind", e.terminalKind);
    w.Int("processKind", e.processKind);
    w.Int("paymentKind", e.paymentKind);
    w.Int("rawByte3", e.rawByte3);
    w.Int("dateTime", e.dateTime);
    w.Int("entryArea", e.entryArea);
    w.Int("entryLine", e.entryLine);
    w.Int("entryStation", e.entryStation);
    w.Text("entryStationName", e.entryStationName);
    w.Text("entryLineName", e.entryLineName);
    w.Text("entryCompany", e.entryCompany);
    w.Number("entryLatitude", e.entryLatitude);
    w.Number("entryLongitude", e.entryLongitude);
    w.Int("exitArea", e.exitArea);
    w.Int("exitLine", e.exitLine);
    w.Int("exitStation", e.exitStation);
    w.Text("exitStationName", e.exitStationName);
    w.Text("exitLineName", e.exitLineName);
    w.Text("exitCompany", e.exitCompany);
    w.Number("exitLatitude", e.exitLatitude);
    w.Number("exitLongitude", e.exitLongitude);
    w.Int("balance", e.balance);
    w.Int("sequence", e.sequence);
    w.Int("region", e.region);
    w.Int("amount", e.amount);
    w.Key("amountKnown");
    out.Write(e.amountKnown ? QByteArrayView("true") : QByteArrayView("false"));
    w.Time("entryTime", e.entryTime);
    w.Time("exitTime", e.exitTime);
    w.Int("distance", e.distance);
    w.Number("bearing", e.bearing);
    w.Text("destination", e.destination);
    w.Text("remarks", e.remarks);
    w.Close();
}

// One UTF-16 unit (or a surrogate pair) as UTF-8; returns the end of what was written.
char* PutUtf8(char* out, char32_t c)
{
    if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | c >> 6);
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | c >> 12);
        *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | c >> 18);
        *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    }
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
    return out;
}

char* PutEscape(char* out, char16_t u)
{
    *out++ = '\\';
    switch (u) {
    case u'"': *out++ = '"'; break;
    case u'\\': *out++ = '\\'; break;
    case u'\b': *out++ = 'b'; break;
    case u'\f': *out++ = 'f'; break;
    case u'\n': *out++ = 'n'; break;
    case u'\r': *out++ = 'r'; break;
    case u'\t': *out++ = 't'; break;
    default:
        *out++ = 'u';
        for (int shift = 12; shift >= 0; shift -= 4)
            *out++ = kHexDigits[u >> shift & 0xF];
    }
    return out;
}

// The gaps as the value of root's key "gaps".
void WriteGaps(CObjectWriter& root, COutputSink& out, const std::vector<SArchiveGap>& gaps)
{
    root.Key("gaps");
    out.Write('[');
    for (size_t i = 0; i < gaps.size(); ++i) {
        const SArchiveGap& gap = gaps[i];
        out.Write(i == 0 ? QByteArrayView("\n") : QByteArrayView(",\n"));
        root.Indent(4);
        CObjectWriter g(out, 4);
        g.Hex("idm", gap.idm);
        g.Int("missing", gap.nMissing);
        g.Int("afterSequence", gap.afterSequence);
        g.Int("beforeSequence", gap.beforeSequence);
        g.Text("afterDate", gap.afterDay.toString(Qt::ISODate));
        g.Text("beforeDate", gap.beforeDay.toString(Qt::ISODate));
        g.Close();
    }
    if (!gaps.empty()) {
        out.Write('\n');
        root.Indent(2);
    }
    out.Write(']');
}

} // namespace

void WriteJsonString(COutputSink& out, const QString& text)
{
    // Six bytes per unit at most (\uxxxx), plus the quotes.
    char* const start = out.Reserve(text.size() * 6 + 2);
    char* p = start;
    *p++ = '"';
    const char16_t* unit = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = unit + text.size();
    while (unit != end) {
        const char16_t u = *unit++;
        if (u < 0x80) {
            if (u < 0x20 || u == u'"' || u == u'\\')
                p = PutEscape(p, u);
            else
                *p++ = static_cast<char>(u);
        } else if (!QChar::isSurrogate(u)) {
            p = PutUtf8(p, u);
        } else if (QChar::isHighSurrogate(u) && unit != end && QChar::isLowSurrogate(*unit)) {
            p = PutUtf8(p, QChar::surrogateToUcs4(u, *unit++));
        } else {
            p = PutEscape(p, u);
        }
    }
    *p++ = '"';
    out.Advance(p - start);
}

void WriteJsonDay(COutputSink& out, const std::optional<QDate>& day)
{
    if (day && !day->isNull())
        WriteJsonString(out, day->toString(Qt::ISODate));
    else
        out.Write("null");
}

QByteArray HexText(const uint8_t* bytes, size_t count)
{
    return QByteArray(reinterpret_cast<const char*>(bytes), static_cast<int>(count)).toHex().toUpper();
}

void WriteEntriesJson(COutputSink& out, const CEntryList& entries, const std::optional<SCardSummary>& card,
                      const std::optional<int64_t>& time)
{
    CObjectWriter root(out, 0);
    if (card) {
        root.Key("card");
        CObjectWriter c(out, 2);
        c.Hex("idm", card->card.idm);
        c.Hex("pmm", card->card.pmm);
        c.Int("balance", card->balance);
        c.Key("readBy");
        WriteJsonDay(out, card->readBy);
        c.Close();
        WriteGaps(root, out, card->gaps);
    }
    if (time)
        root.Int("time", *time);
    root.Key("entries");
    out.Write('[');
    for (size_t i = 0; i < entries.size(); ++i) {
        out.Write(i == 0 ? QByteArrayView("\n") : QByteArrayView(",\n"));
        root.Indent(4);
        WriteEntry(out, *entries[i]);
    }
    if (!entries.empty()) {
        out.Write('\n');
        root.Indent(2);
    }
    out.Write(']');
    root.Close();
    out.Write('\n');
}

QByteArray EntriesToJson(const CEntryList& entries, const std::optional<SCardSummary>& card,
                         const std::optional<int64_t>& time)
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    COutputSink sink(buffer);
    WriteEntriesJson(sink, entries, card, time);
    sink.Flush();
    return text;
}

void WriteGapsJson(COutputSink& out, const std::vector<SArchiveGap>& gaps)
{
    CObjectWriter root(out, 0);
    WriteGaps(root, out, gaps);
    root.Close();
    out.Write('\n');
}
