// The history form: the list of the document's entries with the fare filter,
// the total of ticked fares and the card read button.
#pragma once

#include "document/CorvaneDoc.h"
#include "history/ArchiveGaps.h"
#include "history/ArchiveKeys.h"
#include "view/HistoryColumns.h"
#include "view/HistoryModel.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class CAppProfile;
class CClaimPeriod;
class CHistoryArchive;
class CPeriodChoice;
class CUserNames;
struct SStationKey;
class ICardStatusBar;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

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
    // The form's width that shows every shown column without a horizontal scroll bar.
    int WidthForColumns() const;
    // The card read command: clears, waits for the card, reads and shows it.
    // 1 after a successful read, 0 otherwise.
    virtual int OnCardRead();

    // Grid lines follow "ListGridView"; the zebra rows repaint at once.
    void ApplyGridSetting();
    void RepaintList();

    // The widths a width text gives: surplus tokens ignored, a missing or zero
    // width falling back to the column's default when it has one.
    static ColumnWidths ParseColumnWidths(const QString& widthText);

    // The entries the rows show, in row order (filter and period applied).
    std::vector<const CEntryInfo*> ShownEntries() const;
    CClaimPeriod Period() const;
    // The View menu's column switches: 申請 (0), the two line names (3, 6),
    // 訪問先 (10) and the distance (12). Shown is kept in the settings.
    bool IsColumnShown(int column) const;
    void ShowColumn(int column, bool shown);
    // The selected rows as tab-separated text with a title row, the shown
    // columns in the export's forms; empty without a selection.
    QString SelectedRowsText() const;
    void CopySelectedRows() const;
    // The archive reads are merged into and edits of archived entries written to; none by default.
    void SetHistoryArchive(CHistoryArchive* archive) { m_pArchive = archive; }
    CHistoryArchive* HistoryArchive() const { return m_pArchive; }
    // Puts the card's archive, the days of the period chosen, in place of the
    // document's entries; false, with the reason shown and the list untouched,
    // when it cannot be read. A new period asks the archive again. The balance
    // pane shows the card's balance, not the period's.
    bool ShowArchivedCard(const IdmBytes& idm);
    bool IsShowingArchive() const { return m_bShowingArchive; }
    // The card's balance after a read, for the balance pane of its archive.
    void SetReadBalance(const IdmBytes& idm, int32_t balance) { m_cardBalance = SCardBalance{idm, balance}; }
    const CArchiveKeys& ArchiveKeys() const { return m_archiveKeys; }
    // The list's entries are no longer archived (their card's history was deleted).
    void ForgetArchiveKeys() { m_archiveKeys.Clear(); }
    // The names the person gave stations, put over the station database's at every
    // read and in the archive's history; none by default.
    void SetUserNames(CUserNames* names) { m_pUserNames = names; }
    CUserNames* UserNames() const { return m_pUserNames; }
    // The entry of the current row when it is selected, or null.
    CEntryInfo* CurrentEntry() const;
    // Names the list's entries of key again, from the station database and the
    // person's names, as a read would now; a document not the archive's is then changed.
    void RenameStation(const SStationKey& key);
    // Ticks the selected rows, or unticks them when all are ticked already.
    void ToggleSelectedTicks();
    // Destination for every shown entry whose destination is empty and whose
    // exit station lookup knows one; returns how many were set.
    int FillEmptyDestinations(const std::function<QString(const QString&)>& lookup);

    CCorvaneDoc* GetDocument() const { return m_pDocument; }
    CAppProfile& Profile() const { return m_profile; }
    QTableView* List() const { return m_pList; }
    CHistoryModel* Model() const { return m_pModel; }
    QCheckBox* ShowAllBox() const { return m_pShowAll; }
    QLabel* TotalLabel() const { return m_pTotalLabel; }
    QLabel* TotalValue() const { return m_pTotalValue; }
    QPushButton* ReadButton() const { return m_pReadButton; }
    CPeriodChoice* PeriodBox() const { return m_pPeriod; }
    QLabel* EmptyHint() const { return m_pEmptyHint; }
    bool IsInitialized() const { return m_bInitialized; }

signals:
    // A command for the frame, delivered after the event that caused it is done.
    void CommandPosted(int commandId);
    // A column was shown or hidden.
    void ColumnsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The balance of the card's newest archived record; -1 when none or unreadable.
    int32_t NewestArchivedBalance(const IdmBytes& idm);
    void SetColumnWidth(int column, int width);
    void ApplyColumnVisibility(int column);
    int* ColumnSwitch(int column) const;
    void OnEntryEdited(int row, int column);
    // Keys the document's entries (an opened file's) that the archive holds.
    void FindArchivedEntries();
    // True when the edit went into the archive.
    bool ArchiveEdit(const CEntryInfo& entry);
    void DeleteAllRows();
    void OnShowAllClicked();
    void OnReadClicked();
    void SetCardStatusText(const QString& text);
    // After a read: how many records fell off the card before it, once.
    void ShowNewGaps(const std::vector<SArchiveGap>& gaps);
    // The status bar's note: the day to read the card by after a read, and the
    // records no read caught within the archive's period shown.
    void UpdateNote();
    // Where the archive's gaps go among the archived entries (ids as Entries gave them).
    static std::vector<CHistoryModel::SGapRow> PlaceGaps(std::vector<SArchiveGap> gaps,
                                                         const std::vector<int64_t>& ids);
    // Reads the person's names again; null, after saying why, when they cannot be read.
    const CUserNames* FreshUserNames();

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
    CPeriodChoice* m_pPeriod;
    QLabel* m_pEmptyHint;
    CHistoryArchive* m_pArchive = nullptr;
    CUserNames* m_pUserNames = nullptr;
    CArchiveKeys m_archiveKeys;
    bool m_bArchiveFailureShown = false;   // an archive that refuses edits says so once
    bool m_bShowingArchive = false;        // the entries are the archive's, not a read's or a file's
    bool m_bAdoptingArchive = false;       // the entries coming in are the archive's, keys and all
    // The archive's gaps within the period shown, each before an entry of the
    // document's list (beforeEntry counts its entries, not the rows).
    std::vector<CHistoryModel::SGapRow> m_gaps;
    QString m_strReadByNote;               // after a read the archive took: 次回の読込目安
    // The balance the pane shows for a card's archive: its last read's, else its newest
    // archived record's, whatever period the list shows.
    struct SCardBalance {
        IdmBytes idm{};
        int32_t balance = -1;
    };
    std::optional<SCardBalance> m_cardBalance;
};
