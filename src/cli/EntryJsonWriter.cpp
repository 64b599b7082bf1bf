#include "cli/EntryJsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <charconv>
#include <cmath>

namespace {

// QJsonObject sorts its keys; the record's field order reads better, so the
// object is written by hand and Qt only escapes the strings.
class CObjectWriter {
public:
    explicit CObjectWriter(QByteArray& out, int indent)
        : m_out(out)
        , m_indent(indent)
    {
        m_out += '{';
    }

    void Raw(const char* key, const QByteArray& value)
    {
        m_out += m_first ? "\n" : ",\n";
        m_first = false;
        m_out += QByteArray(m_indent + 2, ' ') + '"' + key + "\": " + value;
    }

    void Int(const char* key, int64_t value) { Raw(key, QByteArray::number(static_cast<qlonglong>(value))); }
    void Text(const char* key, const QString& value) { Raw(key, StringLiteral(value)); }

    template <typename Real>
    void Number(const char* key, Real value)
    {
        if (!std::isfinite(value)) {
            Raw(key, "null"); // JSON has no NaN or infinity; a stored file might
            return;
        }
        char text[64];
        // Shortest text that reads back as the same value of its own width.
        const auto result = std::to_chars(text, text + sizeof text, value);
        Raw(key, QByteArray(text, static_cast<int>(result.ptr - text)));
    }

    void Close()
    {
        m_out += '\n' + QByteArray(m_indent, ' ') + '}';
    }

    static QByteArray StringLiteral(const QString& value)
    {
        const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        return array.mid(1, array.size() - 2);
    }

private:
    QByteArray& m_out;
    int m_indent;
    bool m_first = true;
};

void WriteEntry(QByteArray& out, const CEntryInfo& e)
{
    CObjectWriter w(out, 4);
    w.Int("reserved", e.reserved);
    w.Int("apply", e.apply);
    w.Raw("idm", '"' + HexText(e.idm.data(), e.idm.size()) + '"');
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
    w.Int("distance", e.distance);
    w.Number("bearing", e.bearing);
    w.Text("destination", e.destination);
    w.Text("remarks", e.remarks);
    w.Close();
}

} // namespace

QByteArray HexText(const uint8_t* bytes, size_t count)
{
    return QByteArray(reinterpret_cast<const char*>(bytes), static_cast<int>(count)).toHex().toUpper();
}

QByteArray EntriesToJson(const CEntryList& entries, const std::optional<SCardSummary>& card,
                         const std::optional<int64_t>& time)
{
    QByteArray out;
    CObjectWriter root(out, 0);
    if (card) {
        QByteArray cardText;
        CObjectWriter c(cardText, 2);
        c.Raw("idm", '"' + HexText(card->card.idm.data(), card->card.idm.size()) + '"');
        c.Raw("pmm", '"' + HexText(card->card.pmm.data(), card->card.pmm.size()) + '"');
        c.Int("balance", card->balance);
        c.Close();
        root.Raw("card", cardText);
    }
    if (time)
        root.Int("time", *time);
    QByteArray list = "[";
    for (size_t i = 0; i < entries.size(); ++i) {
        list += i == 0 ? "\n    " : ",\n    ";
        WriteEntry(list, *entries[i]);
    }
    list += entries.empty() ? "]" : "\n  ]";
    root.Raw("entries", list);
    root.Close();
    out += '\n';
    return out;
}
