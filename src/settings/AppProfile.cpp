#include "settings/AppProfile.h"

#include "document/ArchiveError.h"
#include "document/ArchiveReader.h"
#include "document/ArchiveWriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace {

const QString kDatabaseFileName = QStringLiteral("VoluniStn.mdb");
const QString kConnectFormat = QStringLiteral("Driver=Microsoft Access Driver (*.mdb);DBQ=%1;PageTimeout=5;");
const QString kPassword = QStringLiteral("7c1f0a93d4e6b285");

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
    // A hand-edited "2,5,8" comes back as a list: not a text this program wrote.
    if (!value.isValid() || value.userType() == QMetaType::QStringList || !value.canConvert<QString>())
        return fallback;
    return value.toString();
}

// The lists are kept in the byte form the entry file uses for its texts, so a
// value copied from the Windows registry reads the same: a 16-bit count (FFFF
// then a 32-bit count from 65535 on), then each text.
QByteArray EncodeList(const QStringList& list)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchiveWriter out(buffer);
    const auto count = static_cast<quint64>(list.size());
    if (count < 0xFFFF) {
        out.WriteUInt16(static_cast<uint16_t>(count));
    } else {
        out.WriteUInt16(0xFFFF);
        out.WriteUInt32(static_cast<uint32_t>(count));
    }
    for (const QString& text : list)
        out.WriteText(text);
    out.Flush();
    return bytes;
}

// An absent, cut short or malformed list reads as an empty one.
QStringList ReadList(const QSettings& store, const QString& key)
{
    const QVariant value = store.value(key);
    if (!value.isValid())
        return {};
    QByteArray bytes = value.toByteArray();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CArchiveReader in(buffer);
    try {
        uint64_t count = in.ReadUInt16();
        if (count == 0xFFFF)
            count = in.ReadUInt32();
        QStringList list;
        for (uint64_t i = 0; i < count; ++i)
            list << in.ReadText(); // each text needs bytes, so a false count ends in CArchiveError
        return list;
    } catch (const CArchiveError&) {
        return {};
    }
}

} // namespace

QSettings OpenSettingsStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kSettingsOrganization),
                     QString::fromLatin1(kSettingsApplication));
}

void CAppProfile::LoadProfile()
{
    m_strConnect = ConnectStringFor(StationDatabasePath(QCoreApplication::applicationDirPath(), InstalledDataFolder()));
    m_strPassword = kPassword;
    m_strColumnWidths.clear();
    m_nMruMax = 0;

    QSettings store = OpenSettingsStore();
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
    m_nCsvEncoding = ReadInt(store, QStringLiteral("CsvEncoding"), 0);
    m_nVisMaxCount = ReadInt(store, QStringLiteral("VisMaxCount"), 5);
    m_arrVisHistry = ReadList(store, QStringLiteral("VisHistry"));
    m_arrVisStation = ReadList(store, QStringLiteral("VisStation"));
    if (m_arrVisStation.isEmpty() && !m_arrVisHistry.isEmpty()) {
        for (qsizetype i = 0; i < m_arrVisHistry.size(); ++i) {
            m_arrVisStation.append(QString());
        }
    }
    m_strWavCardReadOK = ReadText(store, QStringLiteral("WavCardReadOK"), QString());
    // The ticks count, so their column shows unless the person hid it; the -1
    // that earlier versions stored without a choice made is no choice.
    m_nShowApplyColumn = ReadInt(store, QStringLiteral("ShowApplyColumn"), 1);
    if (m_nShowApplyColumn < 0)
        m_nShowApplyColumn = 1;
    m_nShowEntryLine = ReadInt(store, QStringLiteral("ShowEntryLine"), -1);
    m_nShowExitLine = ReadInt(store, QStringLiteral("ShowExitLine"), -1);
    m_nShowDestination = ReadInt(store, QStringLiteral("ShowDestination"), -1);
    m_nShowDistance = ReadInt(store, QStringLiteral("ShowDistance"), -1);
    m_nShowTime = ReadInt(store, QStringLiteral("ShowTime"), -1);
    m_arrVisRecent = ReadList(store, QStringLiteral("VisRecent"));
    m_bHistoryView = ReadInt(store, QStringLiteral("HistoryView"), 0);
    m_bAutoRead = ReadInt(store, QStringLiteral("AutoRead"), 0);
    m_strReportName = ReadText(store, QStringLiteral("ReportName"), QString());
    m_strReportDepartment = ReadText(store, QStringLiteral("ReportDepartment"), QString());
    m_strReportEmployeeId = ReadText(store, QStringLiteral("ReportEmployeeId"), QString());
    m_strReportDate = ReadText(store, QStringLiteral("ReportDate"), QString());
    m_strReportPurpose = ReadText(store, QStringLiteral("ReportPurpose"), QString());
    m_nReportStampCount = std::clamp(ReadInt(store, QStringLiteral("ReportStampCount"), 3), 0, kMaxReportStamps);
    m_arrReportStampTitles = store.contains(QStringLiteral("ReportStampTitles"))
        ? ReadList(store, QStringLiteral("ReportStampTitles"))
        : DefaultReportStampTitles();
}

QStringList CAppProfile::DefaultReportStampTitles()
{
    return {QStringLiteral("申請者"), QStringLiteral("承認者"), QStringLiteral("経理")};
}

void CAppProfile::SaveProfile() const
{
    QSettings store = OpenSettingsStore();
    store.beginGroup(QStringLiteral("Settings/Profile"));
    store.setValue(QStringLiteral("ListControlWidth"), m_strColumnWidths);
    store.setValue(QStringLiteral("ListGridView"), m_bGridView);
    store.setValue(QStringLiteral("ListZebraView"), m_bZebraView);
    store.setValue(QStringLiteral("AppLook"), m_nAppLook);
    store.setValue(QStringLiteral("PollingTime"), m_nPollingTime);
    store.setValue(QStringLiteral("Admin"), m_bAdmin);
    // The folder of the last export is offered again during the run only.
    store.setValue(QStringLiteral("CsvSavePath"), QString());
    store.setValue(QStringLiteral("CsvOutputItem"), m_strCsvOutputItem);
    store.setValue(QStringLiteral("CsvApplyOnly"), m_bCsvApplyOnly);
    store.setValue(QStringLiteral("CsvOutputHeader"), m_bCsvOutputHeader);
    store.setValue(QStringLiteral("CsvEncoding"), m_nCsvEncoding);
    store.setValue(QStringLiteral("VisMaxCount"), m_nVisMaxCount);
    store.setValue(QStringLiteral("VisHistry"), EncodeList(m_arrVisHistry));
    store.setValue(QStringLiteral("VisStation"), EncodeList(m_arrVisStation));
    store.setValue(QStringLiteral("WavCardReadOK"), m_strWavCardReadOK);
    store.setValue(QStringLiteral("ShowApplyColumn"), m_nShowApplyColumn);
    store.setValue(QStringLiteral("ShowEntryLine"), m_nShowEntryLine);
    store.setValue(QStringLiteral("ShowExitLine"), m_nShowExitLine);
    store.setValue(QStringLiteral("ShowDestination"), m_nShowDestination);
    store.setValue(QStringLiteral("ShowDistance"), m_nShowDistance);
    store.setValue(QStringLiteral("ShowTime"), m_nShowTime);
    store.setValue(QStringLiteral("VisRecent"), EncodeList(m_arrVisRecent));
    store.setValue(QStringLiteral("HistoryView"), m_bHistoryView);
    store.setValue(QStringLiteral("AutoRead"), m_bAutoRead);
    store.setValue(QStringLiteral("ReportName"), m_strReportName);
    store.setValue(QStringLiteral("ReportDepartment"), m_strReportDepartment);
    store.setValue(QStringLiteral("ReportEmployeeId"), m_strReportEmployeeId);
    store.setValue(QStringLiteral("ReportDate"), m_strReportDate);
    store.setValue(QStringLiteral("ReportPurpose"), m_strReportPurpose);
    store.setValue(QStringLiteral("ReportStampCount"), m_nReportStampCount);
    store.setValue(QStringLiteral("ReportStampTitles"), EncodeList(m_arrReportStampTitles));
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

void CAppProfile::RememberDestination(const QString& destination)
{
    const QString text = destination.trimmed();
    if (text.isEmpty())
        return;
    m_arrVisRecent.removeAll(text);
    m_arrVisRecent.prepend(text);
    while (m_arrVisRecent.size() > std::max(m_nVisMaxCount, 0))
        m_arrVisRecent.removeLast();
}

std::function<QString(const QString&)> CAppProfile::DestinationLookupFunction() const
{
    CAppProfile lists;
    lists.m_arrVisStation = m_arrVisStation;
    lists.m_arrVisHistry = m_arrVisHistry;
    return [lists](const QString& station) { return lists.FindDestination(station); };
}

QString CAppProfile::StationDatabasePath(const QString& programFolder, const QString& dataFolder)
{
    const QString beside = QDir(programFolder).filePath(kDatabaseFileName);
    return QFileInfo(beside).isFile() ? beside : QDir(dataFolder).filePath(kDatabaseFileName);
}

QString CAppProfile::InstalledDataFolder()
{
    const QString folder = qEnvironmentVariable("VOLUNI_DATA_DIR");
    return folder.isEmpty() ? QStringLiteral(VOLUNI_DATA_DIR) : folder;
}

QString CAppProfile::ConnectStringFor(const QString& databasePath)
{
    QString path = QDir::toNativeSeparators(databasePath);
    // A path that would end its clause early, or lose its outer spaces, goes in
    // braces, the connection string's quoting; a '}' inside is doubled.
    const bool bQuote = path.contains(u';') || path.contains(u'{') || path.contains(u'}')
        || path != path.trimmed();
    if (bQuote)
        path = QLatin1Char('{') + path.replace(QStringLiteral("}"), QStringLiteral("}}")) + QLatin1Char('}');
    return kConnectFormat.arg(path);
}
