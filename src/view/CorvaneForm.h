// The history form: the list of the document's entries with the fare filter,
// the total of ticked fares and the card read button.
#pragma once

#include "document/CorvaneDoc.h"
#include "view/HistoryColumns.h"

#include <QWidget>

#include <array>

class CAppProfile;
class ICardStatusBar;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;
class CHistoryModel;

class CCorvaneForm : public QWidget, public IDocumentView {
    Q_OBJECT

public:
    static constexpr int kColumnCount = kHistoryColumnCount;
    using ColumnWidths = std::array<int, kColumnCount>;

    CCorvaneForm(CCorvaneDoc& document, CAppProfile& profile, ICardStatusBar* statusBar,
                 QWidget* parent = nullptr);
    ~CCorvaneForm() override;

    // Runs the first-time set-up once; later calls do nothing.
    void OnInitialUpdate();
    void OnUpdate(int hint) override;

    bool InitColumns(const QString& widthText);
    int FillList(const CEntryList& entries);
    void UpdateTotal();
    void SyncEntryOrder();
    void ClearAll();
    QString BuildColumnWidthText() const;
    // The card read command: clears, waits for the card, reads and shows it.
    // 1 after a successful read, 0 otherwise.
    virtual int OnCardRead();

    // Grid lines follow "ListGridView"; the zebra rows repaint at once.
    void ApplyGridSetting();
    void RepaintList();

    // The widths a width text gives: surplus tokens ignored, a missing or zero
    // width falling back to the column's default when it has one.
    static ColumnWidths ParseColumnWidths(const QString& widthText);

    CCorvaneDoc* GetDocument() const { return m_pDocument; }
    CAppProfile& Profile() const { return m_profile; }
    QTableView* List() const { return m_pList; }
    CHistoryModel* Model() const { return m_pModel; }
    QCheckBox* ShowAllBox() const { return m_pShowAll; }
    QLabel* TotalLabel() const { return m_pTotalLabel; }
    QLabel* TotalValue() const { return m_pTotalValue; }
    QPushButton* ReadButton() const { return m_pReadButton; }
    bool IsInitialized() const { return m_bInitialized; }

signals:
    // A command for the frame, delivered after the event that caused it is done.
    void CommandPosted(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetColumnWidth(int column, int width);
    void DeleteAllRows();
    void OnShowAllClicked();
    void OnReadClicked();
    void SetCardStatusText(const QString& text);

    CCorvaneDoc* m_pDocument;
    CAppProfile& m_profile;
    ICardStatusBar* m_pStatusBar;
    CEntryList* m_pEntries = nullptr;
    bool m_bInitialized = false;
    // Widths as last set, so a hidden column still reports the width it was given.
    ColumnWidths m_nColumnWidths{};

    CHistoryModel* m_pModel;
    QTableView* m_pList;
    QLabel* m_pTotalLabel;
    QLabel* m_pTotalValue;
    QPushButton* m_pReadButton;
    QCheckBox* m_pShowAll;
};
