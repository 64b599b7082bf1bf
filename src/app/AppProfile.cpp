#include "AppProfile.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QSettings>

#include <optional>

namespace {

const QString kDatabaseFileName = QStringLiteral("VoluniStn.mdb");
const QString kConnectFormat = QStringLiteral("Driver=Microsoft Access Driver (*.mdb);DBQ=%1;PageTimeout=5;");
const QString kPassword = QStringLiteral("7c1f0a93d4e6b285");

QSettings OpenProfileStore()
{
    // Organisation and application are spelt out here so the store does not
    // depend on what the running program named itself.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ombrel"),
                     QStringLiteral("Voluni_Viewer"));
}

int32_t ReadInt(const QSettings& store, const QString& key, int32_t fallback)
{
    const QVariant value = store.value(key);
    if (!value.isValid()) {
        return fallback;
    }
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? number : fallback;
}

QString ReadText(const QSettings& store, const QString& key, const QString& fallback)
{
    const QVariant value = store.value(key);
    return value.isValid() ? value.toString() : fallback;
}

// The lists are kept in the byte form the entry file uses for its texts, so a
// value copied from the Windows registry reads the same.
class CListReader {
public:
    explicit CListReader(const QByteArray& bytes) : m_stream(bytes)
    {
        m_stream.setByteOrder(QDataStream::LittleEndian);
    }

    std::optional<QStringList> ReadList()
    {
        quint16 count16 = 0;
        m_stream >> count16;
        quint64 count = count16;
        if (count16 == 0xFFFF) {
            quint32 count32 = 0;
            m_stream >> count32;
            count = count32;
        }
        if (!Ok()) {
            return std::nullopt;
        }
        QStringList list;
        for (quint64 i = 0; i < count; ++i) {
            std::optional<QString> text = ReadText();
            if (!text) {
                return std::nullopt;
            }
            list.append(*text);
        }
        return list;
    }

private:
    bool Ok() const { return m_stream.status() == QDataStream::Ok; }

    std::optional<QString> ReadText()
    {
        bool unicode = false;
        std::optional<quint64> length = ReadLength(unicode);
        // A length beyond what is left is a cut-short value, not a reason to allocate.
        const quint64 unitSize = unicode ? 2 : 1;
        if (!length || *length > static_cast<quint64>(Remaining()) / unitSize) {
            return std::nullopt;
        }
        const auto n = static_cast<qsizetype>(*length);
        QByteArray raw(n * static_cast<qsizetype>(unitSize), Qt::Uninitialized);
        if (m_stream.readRawData(raw.data(), static_cast<int>(raw.size())) != raw.size()) {
            return std::nullopt;
        }
        if (!unicode) {
            return QString::fromLocal8Bit(raw);
        }
        QString text(n, Qt::Uninitialized);
        for (qsizetype i = 0; i < n; ++i) {
            const auto lo = static_cast<uint8_t>(raw[2 * i]);
            const auto hi = static_cast<uint8_t>(raw[2 * i + 1]);
            text[i] = QChar(static_cast<char16_t>(lo | (hi << 8)));
        }
        return text;
    }

    std::optional<quint64> ReadLength(bool& unicode)
    {
        unicode = false;
        quint8 b = 0;
        m_stream >> b;
        if (!Ok()) {
            return std::nullopt;
        }
        if (b < 0xFF) {
            return b;
        }
        quint16 w = 0;
        m_stream >> w;
        if (w == 0xFFFE) {
            unicode = true;
            m_stream >> b;
            if (!Ok()) {
                return std::nullopt;
            }
            if (b < 0xFF) {
                return b;
            }
            m_stream >> w;
        }
        if (!Ok()) {
            return std::nullopt;
        }
        if (w < 0xFFFF) {
            return w;
        }
        quint32 d = 0;
        m_stream >> d;
        if (!Ok()) {
            return std::nullopt;
        }
        if (d < 0xFFFFFFFFu) {
            return d;
        }
        quint64 q = 0;
        m_stream >> q;
        if (!Ok() || q > 2147483647u) {
            return std::nullopt;
        }
        return q;
    }

    qint64 Remaining() const
    {
        const QIODevice* device = m_stream.device();
        return device->size() - device->pos();
    }

    QDataStream m_stream;
};

QByteArray EncodeList(const QStringList& list)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const auto count = static_cast<quint64>(list.size());
    if (count < 0xFFFF) {
        out << static_cast<quint16>(count);
    } else {
        out << static_cast<quint16>(0xFFFF) << static_cast<quint32>(count);
    }
    for (const QString& text : list) {
        out << static_cast<quint8>(0xFF) << static_cast<quint16>(0xFFFE);
        const auto n = static_cast<quint64>(text.size());
        if (n < 0xFF) {
            out << static_cast<quint8>(n);
        } else if (n < 0xFFFE) {
            out << static_cast<quint8>(0xFF) << static_cast<quint16>(n);
        } else if (n < 0xFFFFFFFFu) {
            out << static_cast<quint8>(0xFF) << static_cast<quint16>(0xFFFF) << static_cast<quint32>(n);
        } else {
            out << static_cast<quint8>(0xFF) << static_cast<quint16>(0xFFFF)
                << static_cast<quint32>(0xFFFFFFFFu) << n;
        }
        for (const QChar unit : text) {
            out << static_cast<quint16>(unit.unicode());
        }
    }
    return bytes;
}

QStringList ReadList(const QSettings& store, const QString& key)
{
    const QVariant value = store.value(key);
    if (!value.isValid()) {
        return {};
    }
    CListReader reader(value.toByteArray());
    return reader.ReadList().value_or(QStringList());
}

} // namespace

void CAppProfile::LoadProfile()
{
    const QString database = QDir(QCoreApplication::applicationDirPath()).filePath(kDatabaseFileName);
    m_strConnect = ConnectStringFor(database);
    m_strPassword = kPassword;
    m_strColumnWidths.clear();
    m_nMruMax = 0;

    QSettings store = OpenProfileStore();
    store.beginGroup(QStringLiteral("Settings/Profile"));
    m_bGridView = ReadInt(store, QStringLiteral("ListGridView"), 1);
    m_bZebraView = ReadInt(store, QStringLiteral("ListZebraView"), 0);
    m_nAppLook = ReadInt(store, QStringLiteral("AppLook"), 32801);
    m_nPollingTime = ReadInt(store, QStringLiteral("PollingTime"), 5);
    m_bAdmin = ReadInt(store, QStringLiteral("Admin"), 0);
    if (m_nMruMax == 0) {
        m_nMruMax = 3;
    }
    m_strCsvSavePath.clear();
    m_strCsvOutputItem = ReadText(store, QStringLiteral("CsvOutputItem"), QStringLiteral("2,5,8,9,11,12"));
    m_bCsvApplyOnly = ReadInt(store, QStringLiteral("CsvApplyOnly"), 0);
    m_bCsvOutputHeader = ReadInt(store, QStringLiteral("CsvOutputHeader"), 1);
    m_nVisMaxCount = ReadInt(store, QStringLiteral("VisMaxCount"), 5);
    m_arrVisHistry = ReadList(store, QStringLiteral("VisHistry"));
    m_arrVisStation = ReadList(store, QStringLiteral("VisStation"));
    if (m_arrVisStation.isEmpty() && !m_arrVisHistry.isEmpty()) {
        for (qsizetype i = 0; i < m_arrVisHistry.size(); ++i) {
            m_arrVisStation.append(QString());
        }
    }
    m_strWavCardReadOK = ReadText(store, QStringLiteral("WavCardReadOK"), QString());
}

void CAppProfile::SaveProfile() const
{
    QSettings store = OpenProfileStore();
    store.beginGroup(QStringLiteral("Settings/Profile"));
    store.setValue(QStringLiteral("ListControlWidth"), m_strColumnWidths);
    store.setValue(QStringLiteral("ListGridView"), m_bGridView);
    store.setValue(QStringLiteral("ListZebraView"), m_bZebraView);
    store.setValue(QStringLiteral("AppLook"), m_nAppLook);
    store.setValue(QStringLiteral("PollingTime"), m_nPollingTime);
    store.setValue(QStringLiteral("Admin"), m_bAdmin);
    store.setValue(QStringLiteral("CsvSavePath"), m_strCsvSavePath);
    store.setValue(QStringLiteral("CsvOutputItem"), m_strCsvOutputItem);
    store.setValue(QStringLiteral("CsvApplyOnly"), m_bCsvApplyOnly);
    store.setValue(QStringLiteral("CsvOutputHeader"), m_bCsvOutputHeader);
    store.setValue(QStringLiteral("VisMaxCount"), m_nVisMaxCount);
    store.setValue(QStringLiteral("VisHistry"), EncodeList(m_arrVisHistry));
    store.setValue(QStringLiteral("VisStation"), EncodeList(m_arrVisStation));
    store.setValue(QStringLiteral("WavCardReadOK"), m_strWavCardReadOK);
    store.endGroup();
    store.sync();
}

QString CAppProfile::FindDestination(QString stationName) const
{
    if (stationName.isEmpty()) {
        return {};
    }
    const qsizetype index = m_arrVisStation.indexOf(stationName);
    if (index < 0 || index >= m_arrVisHistry.size()) {
        return {};
    }
    return m_arrVisHistry.at(index);
}

QString CAppProfile::ConnectStringFor(const QString& databasePath)
{
    return kConnectFormat.arg(QDir::toNativeSeparators(databasePath));
}
