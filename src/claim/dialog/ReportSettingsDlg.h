// 精算書の設定: the claim report's header (氏名, 所属, 社員番号, 申請日,
// 目的/用件) and its stamp boxes. Lays out and hands back; stores nothing itself.
#pragma once

#include "claim/ClaimHeader.h"

#include <QDialog>

#include <vector>

class CAppProfile;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class QSpinBox;

class CReportSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // today: what 申請日 offers when the header keeps none.
    CReportSettingsDlg(const SClaimHeader& header, QDate today, QWidget* parent = nullptr);

    // The header as shown.
    SClaimHeader Header() const;

private:
    void UpdateFields();

    QLineEdit* m_pName = nullptr;
    QLineEdit* m_pDepartment = nullptr;
    QLineEdit* m_pEmployeeId = nullptr;
    QCheckBox* m_pPrintDay = nullptr;
    QDateEdit* m_pDate = nullptr;
    QLineEdit* m_pPurpose = nullptr;
    QSpinBox* m_pStampCount = nullptr;
    std::vector<QLineEdit*> m_stampTitles;
};

// Shows the dialog with the header of profile; on OK it goes back into it.
// True when the person chose OK.
bool EditReportSettings(QWidget* parent, CAppProfile& profile);
