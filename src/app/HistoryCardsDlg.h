// "履歴のカード": the cards the history archive knows, each by IDm and the name
// the person gives it; one is chosen to show its history.
#pragma once

#include "card/EntryInfo.h"

#include <QDialog>

#include <optional>
#include <vector>

class CHistoryArchive;
class QPushButton;
class QTableWidget;

class CHistoryCardsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CHistoryCardsDlg(CHistoryArchive& archive, QWidget* parent = nullptr);

    // The card whose history was asked for; none when the dialog was closed.
    std::optional<IdmBytes> ChosenCard() const { return m_chosen; }
    QTableWidget* Table() const { return m_pTable; }
    QPushButton* ShowButton() const { return m_pShow; }

private:
    void Fill();
    void OnNameEdited(int row, int column);

    CHistoryArchive& m_archive;
    std::vector<IdmBytes> m_cards;
    std::optional<IdmBytes> m_chosen;
    QTableWidget* m_pTable;
    QPushButton* m_pShow;
    bool m_bFilling = false;
};
