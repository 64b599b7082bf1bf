// "訪問先の登録": the exit stations and the visit destination each stands for,
// as new reads fill them in; a button fills the empty destinations of the list.
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class CAppProfile;
class QLabel;
class QPushButton;
class QTableWidget;

class CDestinationDlg : public QDialog {
    Q_OBJECT
public:
    using Lookup = std::function<QString(const QString& station)>;
    // fillEmpty: sets the destination of each listed entry without one from the
    // lookup and returns how many it set.
    CDestinationDlg(const QStringList& stations, const QStringList& destinations,
                    std::function<int(const Lookup&)> fillEmpty, QWidget* parent = nullptr);

    // The pairs as shown, empty rows left out; the two lists have the same length.
    QStringList Stations() const;
    QStringList Destinations() const;
    // The destination the pairs as shown give for station.
    QString DestinationFor(const QString& station) const;

    QTableWidget* Table() const { return m_pTable; }
    QPushButton* ApplyButton() const { return m_pApply; }
    QLabel* ResultLabel() const { return m_pResult; }

private:
    void AddRow(const QString& station, const QString& destination);
    QString CellText(int row, int column) const;
    bool IsKept(int row) const;

    std::function<int(const Lookup&)> m_fillEmpty;
    QTableWidget* m_pTable;
    QPushButton* m_pApply;
    QLabel* m_pResult;
};

// Shows the dialog over profile's lists; on OK they go back into it. True on OK.
bool EditDestinations(QWidget* parent, CAppProfile& profile, std::function<int(const CDestinationDlg::Lookup&)> fillEmpty);
