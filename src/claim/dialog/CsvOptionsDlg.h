// The CSV export's options: which columns in which order, only claimed rows,
// a title row, the encoding. Lays out and hands back; stores nothing itself.
#pragma once

#include "claim/ClaimCsvWriter.h"

#include <QDialog>

class CAppProfile;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QListWidget;
class QPushButton;

class CCsvOptionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCsvOptionsDlg(const SClaimCsvOptions& options, QWidget* parent = nullptr);

    // The choice as shown: the ticked columns from the top down.
    SClaimCsvOptions Options() const;

private:
    void MoveCurrentColumn(int step);
    void UpdateButtons();

    QListWidget* m_pColumns = nullptr;
    QPushButton* m_pUp = nullptr;
    QPushButton* m_pDown = nullptr;
    QCheckBox* m_pApplyOnly = nullptr;
    QCheckBox* m_pTitleRow = nullptr;
    QComboBox* m_pEncoding = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;
    QPushButton* m_pOk = nullptr;
};

// Shows the dialog with the options of profile; on OK they go back into it.
// True when the person chose OK.
bool EditCsvOptions(QWidget* parent, CAppProfile& profile);
