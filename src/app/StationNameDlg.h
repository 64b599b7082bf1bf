// "駅名の登録": the person's own company, line and station name for a code of
// the selected row (its entry or exit side), over the station database's.
#pragma once

#include "card/EntryNames.h"
#include "usernames/UserNames.h"

#include <QDialog>

#include <vector>

class CCorvaneForm;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CStationNameDlg : public QDialog {
    Q_OBJECT
public:
    // One side of the row that names a code, with what the list shows for it.
    struct SSide {
        EEntrySide side = EEntrySide::Exit;
        SStationKey key;
        SSideNames shown;
        bool bOwnName = false;     // the person has named this code already
    };
    enum class EChoice { Keep, Remove };

    // sides: one or two (entry first); the fields start with what is shown.
    explicit CStationNameDlg(std::vector<SSide> sides, QWidget* parent = nullptr);

    EChoice Choice() const { return m_choice; }
    // The name as entered, for the code of the side chosen.
    SUserName Name() const;

    QComboBox* SideBox() const { return m_pSide; }
    QLabel* CodeLabel() const { return m_pCode; }
    QLineEdit* CompanyEdit() const { return m_pCompany; }
    QLineEdit* LineEdit() const { return m_pLine; }
    QLineEdit* StationEdit() const { return m_pStation; }
    QPushButton* RemoveButton() const { return m_pRemove; }
    QLabel* ProblemLabel() const { return m_pProblem; }

    void accept() override;

private:
    void ShowSide(int index);
    // What keeps the entered name from being kept, in the person's words; empty when nothing.
    QString Problem() const;

    std::vector<SSide> m_sides;
    EChoice m_choice = EChoice::Keep;
    QComboBox* m_pSide;
    QLabel* m_pCode;
    QLineEdit* m_pCompany;
    QLineEdit* m_pLine;
    QLineEdit* m_pStation;
    QPushButton* m_pRemove;
    QLabel* m_pProblem;
};

// The sides of entry that name a code, as the dialog offers them.
std::vector<CStationNameDlg::SSide> StationNameSides(const CEntryInfo& entry, const CUserNames& names);

// The command: the dialog over the form's selected row; a name kept or removed
// names the list's entries of that code again. True when the names changed.
bool EditStationName(QWidget* parent, CCorvaneForm& form, CUserNames& names);
