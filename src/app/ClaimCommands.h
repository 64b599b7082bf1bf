// Getting the claim out of the main window: the CSV export and its options, the
// report printed, previewed or written as PDF. All of them take the rows the
// list shows (filter and period applied).
#pragma once

#include "app/FramePrompts.h"
#include "claim/ClaimReport.h"

#include <QString>

#include <functional>

class CAppProfile;
class CCorvaneDoc;
class CCorvaneForm;
class CHistoryArchive;
class QWidget;

class CClaimCommands {
public:
    // showStatus: where a short note on a finished export goes.
    CClaimCommands(CCorvaneForm& form, CAppProfile& profile, QWidget* parent, const SFramePrompts& prompts,
                   std::function<void(const QString&)> showStatus);

    bool ExportCsv();
    bool ExportCsvTo(const QString& path);
    bool EditCsvOptions();
    bool Print();
    void Preview();
    bool ExportPdf();
    bool ExportPdfTo(const QString& path);
    // 精算書の設定: the report's header and stamp boxes, kept in the settings.
    bool EditReportSettings();
    // Where the report finds the card's name and the trips no read caught; none without.
    void SetArchive(CHistoryArchive* archive) { m_pArchive = archive; }
    // The report of the rows shown, only the claimed ones when the export takes
    // only those, with the header of the settings and what the archive knows.
    SClaimReport Report() const;
    // Something to export: the list shows at least one row.
    bool HasRows() const;

private:
    QString ProposedPath(const QString& folder, const QString& suffix) const;

    CCorvaneForm& m_form;
    CAppProfile& m_profile;
    QWidget* m_pParent;
    const SFramePrompts& m_prompts;
    std::function<void(const QString&)> m_showStatus;
    QString m_strPdfFolder;   // the folder of the last PDF, for this run
    CHistoryArchive* m_pArchive = nullptr;
};
