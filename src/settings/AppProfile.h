// The application's settings record: user settings from the settings store plus
// the station database's connection string and password.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class QSettings;

// The names the settings store is kept under, whatever the running program calls itself.
inline const char* const kSettingsOrganization = "Ombrel";
inline const char* const kSettingsApplication = "Voluni_Viewer";
// The current user's settings store under those names.
QSettings OpenSettingsStore();

class CAppProfile {
public:
    CAppProfile() = default;

    static constexpr int kMaxReportStamps = 4;
    // 申請者, 承認者, 経理.
    static QStringList DefaultReportStampTitles();

    // Fills every field from the store (organisation "Ombrel", application
    // "Voluni_Viewer", group "Settings/Profile"); absent or unreadable values
    // give the defaults. Never fails.
    void LoadProfile();
    // Writes the stored values back.
    void SaveProfile() const;

    QString GetConnectString() const { return m_strConnect; }
    QString GetPassword() const { return m_strPassword; }
    // The connection string of the station database file at databasePath.
    static QString ConnectStringFor(const QString& databasePath);
    // The station database beside the program when one is there (a build
    // folder), else the one in dataFolder, whether or not it exists.
    static QString StationDatabasePath(const QString& programFolder, const QString& dataFolder);
    // Where the package puts the station database; $VOLUNI_DATA_DIR when set.
    static QString InstalledDataFolder();
    // The visit destination remembered for a station name; empty when unknown.
    QString FindDestination(QString stationName) const;
    // FindDestination over a copy of the two lists as they are now, for the read pass.
    std::function<QString(const QString&)> DestinationLookupFunction() const;

    QString m_strConnect;
    QString m_strColumnWidths;
    QString m_strWavCardReadOK;
    int32_t m_bGridView = 0;
    int32_t m_bZebraView = 0;
    int32_t m_bAdmin = 0;
    int32_t m_nMruMax = 0;
    int32_t m_nVisMaxCount = 0;
    int32_t m_nPollingTime = 0;
    int32_t m_nAppLook = 0;
    QStringList m_arrVisHistry;
    QStringList m_arrVisStation;
    QString m_strCsvSavePath;          // the last export's folder during the run; stored empty
    QString m_strCsvOutputItem;
    int32_t m_bCsvApplyOnly = 0;
    int32_t m_bCsvOutputHeader = 0;
    int32_t m_nCsvEncoding = 0;        // CsvEncoding: 0 Shift_JIS, 1 UTF-8 with a byte order mark
    // The View menu's column switches ("ShowApplyColumn", "ShowEntryLine",
    // "ShowExitLine", "ShowDestination", "ShowDistance", "ShowTime"): 1 shown, 0 hidden, -1
    // as the column's width says (the distance and time columns have none and stay hidden);
    // 申請 is shown unless hidden.
    int32_t m_nShowApplyColumn = 1;
    int32_t m_nShowEntryLine = -1;
    int32_t m_nShowExitLine = -1;
    int32_t m_nShowDestination = -1;
    int32_t m_nShowDistance = -1;
    int32_t m_nShowTime = -1;
    // "HistoryView": the list shows a card's whole history archive, not only the last read.
    int32_t m_bHistoryView = 0;
    // "AutoRead": a card laid on the reader is read without a command.
    int32_t m_bAutoRead = 0;
    // "VisRecent": the destinations typed last, newest first, at most VisMaxCount.
    QStringList m_arrVisRecent;
    // Puts destination first in m_arrVisRecent, once, within VisMaxCount.
    void RememberDestination(const QString& destination);
    // The claim report's header ("ReportName", "ReportDepartment",
    // "ReportEmployeeId", "ReportDate", "ReportPurpose"): empty prints a line to
    // fill in by hand; an empty date is the day of printing, else YYYY/MM/DD.
    QString m_strReportName;
    QString m_strReportDepartment;
    QString m_strReportEmployeeId;
    QString m_strReportDate;
    QString m_strReportPurpose;
    // The report's stamp boxes 押印欄 ("ReportStampCount", 0 to 4, and
    // "ReportStampTitles", the title of each box from the left).
    int32_t m_nReportStampCount = 3;
    QStringList m_arrReportStampTitles = DefaultReportStampTitles();
    QString m_strPassword;
};
