#include "app/MainFrame.h"

#include "settings/AppProfile.h"
#include "app/ClaimCommands.h"
#include "app/DestinationDlg.h"
#include "app/StationNameDlg.h"
#include "app/DocumentCommands.h"
#include "app/HistoryCommands.h"
#include "app/RecentFileList.h"
#include "history/HistoryArchive.h"
#include "document/CorvaneDoc.h"
#include "view/CorvaneView.h"
#include "view/HistoryModel.h"
#include "readers/FelicaMod.h"
#include "card/FormatAmount.h"
#include "resources/StringTable.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTableView>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int kStatusBarCommand = 59393;
constexpr int kMinimumWidth = 520;
constexpr int kMinimumHeight = 380;
// First size: every column with a width of its own visible, as a new frame
// window would open on a desktop; never more than the screen offers.
constexpr int kInitialWidth = 900;
constexpr int kInitialHeight = 560;
constexpr int kStatusMessageTime = 5000;
constexpr int kRecentFileCommands = 16;
// How often the automatic read looks at the reader.
constexpr int kCardWatchInterval = 500;

} // namespace

CMainFrame::ReaderHooks CMainFrame::DefaultReaderHooks()
{
    return {
        [] { ProbeReader(); },
        [] {
            CFelicaMod coordinator;
            coordinator.RestoreReaderMode();
        },
        [probe = std::make_shared<CCardPresenceProbe>()] { return probe->Look(); },
    };
}

CMainFrame::CMainFrame(CCorvaneDoc& document, CAppProfile& profile, ReaderHooks hooks, QWidget* parent)
    : QMainWindow(parent)
    , m_pDocument(&document)
    , m_profile(profile)
    , m_readerHooks(std::move(hooks))
    , m_look(AppLookFromSetting(profile.m_nAppLook))
    , m_prompts(DefaultFramePrompts())
    , m_pDocumentCommands(std::make_unique<CDocumentCommands>(document, this, m_prompts))
{
    // The caption is the application's title alone, never a document name.
    setWindowTitle(ResStringField(IDR_MAINFRAME, 0));
    setWindowIcon(QIcon(QStringLiteral(":/images/card.png")));
    setMinimumSize(kMinimumWidth, kMinimumHeight);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    ApplyAppLook(m_look);
    QApplication::restoreOverrideCursor();

    CreateMenuBar();
    CreateStatusBar();

    auto* view = new CCorvaneView(document, profile, this, this);
    m_pView = view;
    setCentralWidget(view);
    QSize initial(kInitialWidth, kInitialHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        initial = initial.boundedTo(screen->availableGeometry().size());
    resize(initial.expandedTo(minimumSize()));
    connect(view, &CCorvaneForm::CommandPosted, this, &CMainFrame::OnCommand);
    m_pClaimCommands = std::make_unique<CClaimCommands>(*view, profile, this, m_prompts, [this](const QString& text) {
        statusBar()->showMessage(text, kStatusMessageTime);
    });
    m_pHistoryCommands = std::make_unique<CHistoryCommands>(*view, profile, *m_pDocumentCommands, this, m_prompts);
    connect(view, &CCorvaneForm::ColumnsChanged, this, &CMainFrame::UpdateCommandChecks);
    // The commands that need rows follow the list.
    connect(view->Model(), &QAbstractItemModel::modelReset, this, &CMainFrame::UpdateCommandStates);
    connect(view->List()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CMainFrame::UpdateCommandStates);
    m_pCardWatcher = new CCardWatcher(m_readerHooks.presence, kCardWatchInterval, this);
    connect(m_pCardWatcher, &CCardWatcher::CardLaid, this, [this] {
        // Not over a dialog; during a read the watch is paused.
        if (!QApplication::activeModalWidget())
            OnCommand(ID_CARD_READ);
    });
    m_pCardWatcher->SetWatching(m_profile.m_bAutoRead != 0 && m_readerHooks.presence);
    document.AddView(this);
    UpdateCommandChecks();
    UpdateFilePane();
    UpdateCommandStates();
}

void CMainFrame::FitColumns()
{
    int wanted = std::max(width(), m_pView->WidthForColumns());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        wanted = std::min(wanted, screen->availableGeometry().width());
    resize(wanted, height());
}

CMainFrame::~CMainFrame()
{
    if (m_pDocument) {
        m_pDocument->RemoveView(this);
    }
    if (m_readerHooks.restore) {
        m_readerHooks.restore();
    }
}

void CMainFrame::CreateMenuBar()
{
    QMenu* file = menuBar()->addMenu(LoadResString(IDS_MENU_FILE));
    m_pFileMenu = file;
    QAction* read = AddCommand(file, IDS_MENU_CARD_READ, ID_CARD_READ);
    read->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    file->addSeparator();
    AddCommand(file, IDS_MENU_OPEN, ID_FILE_OPEN, QKeySequence(Qt::CTRL | Qt::Key_O));
    AddCommand(file, IDS_MENU_SAVE, ID_FILE_SAVE, QKeySequence(Qt::CTRL | Qt::Key_S));
    AddCommand(file, IDS_MENU_SAVE_AS, ID_FILE_SAVE_AS, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    AddCommand(file, IDS_MENU_IMPORT_HISTORY, ID_FILE_IMPORT_HISTORY, {});
    file->addSeparator();
    AddCommand(file, IDS_MENU_EXPORT_CSV, ID_FILE_EXPORT_CSV, QKeySequence(Qt::CTRL | Qt::Key_E));
    AddCommand(file, IDS_MENU_CSV_OPTIONS, ID_FILE_CSV_OPTIONS, {});
    file->addSeparator();
    AddCommand(file, IDS_MENU_PRINT, ID_FILE_PRINT, QKeySequence(Qt::CTRL | Qt::Key_P));
    AddCommand(file, IDS_MENU_PRINT_PREVIEW, ID_FILE_PRINT_PREVIEW, {});
    AddCommand(file, IDS_MENU_EXPORT_PDF, ID_FILE_EXPORT_PDF, {});
    AddCommand(file, IDS_MENU_REPORT_SETTINGS, ID_FILE_REPORT_SETTINGS, {});
    file->addSeparator();
    m_pRecentEnd = file->addSeparator();
    QAction* exit = AddCommand(file, IDS_MENU_EXIT, ID_APP_EXIT);
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(file, &QMenu::aboutToShow, this, &CMainFrame::UpdateRecentFileActions);
    UpdateRecentFileActions();

    QMenu* edit = menuBar()->addMenu(LoadResString(IDS_MENU_EDIT));
    // The list takes Ctrl+C itself while it has the focus; the menu's is for the rest.
    AddCommand(edit, IDS_MENU_COPY, ID_EDIT_COPY, QKeySequence::Copy);
    edit->addSeparator();
    AddCommand(edit, IDS_MENU_DESTINATIONS, ID_EDIT_DESTINATIONS, {});
    AddCommand(edit, IDS_MENU_STATION_NAMES, ID_EDIT_STATION_NAMES, {});
    edit->addSeparator();
    AddCommand(edit, IDS_MENU_DELETE_HISTORY, ID_EDIT_DELETE_HISTORY, {});
    AddCommand(edit, IDS_MENU_RECOVER_HISTORY, ID_EDIT_RECOVER_HISTORY, {});

    QMenu* view = menuBar()->addMenu(LoadResString(IDS_MENU_VIEW));
    AddCommand(view, IDS_MENU_GRID, ID_VIEW_GRID)->setCheckable(true);
    AddCommand(view, IDS_MENU_ZEBRA, ID_VIEW_ZEBRA)->setCheckable(true);
    view->addSeparator();
    AddColumnSwitch(view, IDS_MENU_SHOW_APPLY, ID_VIEW_APPLY_COLUMN, 0);
    AddColumnSwitch(view, IDS_MENU_SHOW_ENTRY_LINE, ID_VIEW_ENTRY_LINE, 3);
    AddColumnSwitch(view, IDS_MENU_SHOW_EXIT_LINE, ID_VIEW_EXIT_LINE, 6);
    AddColumnSwitch(view, IDS_MENU_SHOW_DESTINATION, ID_VIEW_DESTINATION, CHistoryModel::kDestinationColumn);
    AddColumnSwitch(view, IDS_MENU_SHOW_DISTANCE, ID_VIEW_DISTANCE, CHistoryModel::kDistanceColumn);
    AddColumnSwitch(view, IDS_MENU_SHOW_TIME, ID_VIEW_TIME, CHistoryModel::kTimeColumn);
    view->addSeparator();
    AddCommand(view, IDS_MENU_HISTORY, ID_VIEW_HISTORY)->setCheckable(true);
    AddCommand(view, IDS_MENU_HISTORY_CARDS, ID_VIEW_HISTORY_CARDS);
    AddCommand(view, IDS_MENU_AUTO_READ, ID_VIEW_AUTO_READ)->setCheckable(true);
    view->addSeparator();
    QAction* statusBarCommand = AddCommand(view, IDS_MENU_STATUS_BAR, kStatusBarCommand);
    statusBarCommand->setCheckable(true);
    statusBarCommand->setChecked(true);
    connect(statusBarCommand, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

    QMenu* help = menuBar()->addMenu(LoadResString(IDS_MENU_HELP));
    QAction* about = AddCommand(help, IDS_MENU_ABOUT, ID_APP_ABOUT);
    connect(about, &QAction::triggered, this, &CMainFrame::AboutRequested);

    for (const int id : {ID_CARD_READ, ID_VIEW_GRID, ID_VIEW_ZEBRA, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS,
                         ID_FILE_EXPORT_CSV, ID_FILE_CSV_OPTIONS, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW,
                         ID_FILE_EXPORT_PDF, ID_FILE_REPORT_SETTINGS, ID_EDIT_COPY, ID_EDIT_DESTINATIONS, ID_FILE_IMPORT_HISTORY,
                         ID_EDIT_DELETE_HISTORY, ID_VIEW_HISTORY, ID_VIEW_HISTORY_CARDS, ID_VIEW_AUTO_READ,
                         ID_EDIT_STATION_NAMES}) {
        connect(m_actions.value(id), &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
}

QAction* CMainFrame::AddCommand(QMenu* menu, int textId, int commandId, const QKeySequence& shortcut)
{
    QAction* action = AddCommand(menu, textId, commandId);
    action->setShortcut(shortcut);
    return action;
}

void CMainFrame::AddColumnSwitch(QMenu* menu, int textId, int commandId, int column)
{
    QAction* action = AddCommand(menu, textId, commandId);
    action->setCheckable(true);
    m_columnOfCommand.insert(commandId, column);
    connect(action, &QAction::triggered, this, [this, column] {
        if (m_pView)
            m_pView->ShowColumn(column, !m_pView->IsColumnShown(column));
    });
}

void CMainFrame::SetHistoryArchive(CHistoryArchive* archive)
{
    m_pHistoryCommands->SetArchive(archive);
    m_pClaimCommands->SetArchive(archive);
    UpdateCommandStates();
}

void CMainFrame::SetUserNames(CUserNames* names)
{
    m_pUserNames = names;
    if (m_pView)
        m_pView->SetUserNames(names);
    UpdateCommandStates();
}

void CMainFrame::SetRecentFiles(CRecentFileList* recentFiles)
{
    m_pDocumentCommands->SetRecentFiles(recentFiles);
    UpdateRecentFileActions();
}

void CMainFrame::UpdateRecentFileActions()
{
    for (QAction* action : m_recentActions) {
        m_actions.remove(m_actions.key(action));
        m_pFileMenu->removeAction(action);
        action->deleteLater();
    }
    m_recentActions.clear();
    const CRecentFileList* recent = m_pDocumentCommands->RecentFiles();
    const QStringList files = recent ? recent->Files() : QStringList();
    for (int i = 0; i < files.size() && i < kRecentFileCommands; ++i) {
        auto* action = new QAction(
            LoadResString(IDS_MENU_RECENT_FILE).arg(i + 1).arg(QDir::toNativeSeparators(files.at(i))), m_pFileMenu);
        action->setStatusTip(ResStringField(ID_FILE_MRU_FILE1, 0));
        m_pFileMenu->insertAction(m_pRecentEnd, action);
        connect(action, &QAction::triggered, this, [this, i] { OpenRecentFile(i); });
        m_actions.insert(ID_FILE_MRU_FILE1 + i, action);
        m_recentActions.append(action);
    }
    m_pRecentEnd->setVisible(!m_recentActions.isEmpty());
}

void CMainFrame::OpenRecentFile(int index)
{
    CRecentFileList* recent = m_pDocumentCommands->RecentFiles();
    if (!recent || index < 0 || index >= recent->Files().size())
        return;
    const QString path = recent->Files().at(index);
    if (!m_pDocumentCommands->OpenPath(path) && !QFileInfo::exists(path)) {
        // A file that is gone leaves the list (the open said why).
        recent->Remove(path);
    }
    UpdateRecentFileActions();
}

void CMainFrame::OnUpdate(int hint)
{
    if (hint == HINT_DOCUMENT_STATE)
        UpdateFilePane();
    UpdateCommandStates();
}

void CMainFrame::UpdateFilePane()
{
    if (!m_pFilePane || !m_pDocument)
        return;
    const QString path = m_pDocument->GetPathName();
    const bool archive = m_pView && m_pView->IsShowingArchive();
    QString text = !path.isEmpty() ? QFileInfo(path).fileName() : LoadResString(archive ? IDS_PANE_HISTORY : IDS_UNTITLED);
    if (m_pDocument->IsModified())
        text += QStringLiteral(" *");
    m_pFilePane->setText(text);
    m_pFilePane->setToolTip(QDir::toNativeSeparators(path));
}

void CMainFrame::UpdateCommandStates()
{
    if (!m_pView || !m_pClaimCommands)
        return;
    const bool canSave = m_pDocumentCommands->CanSave();
    const bool hasRows = m_pClaimCommands->HasRows();
    m_actions.value(ID_FILE_SAVE)->setEnabled(canSave);
    m_actions.value(ID_FILE_SAVE_AS)->setEnabled(canSave);
    for (const int id : {ID_FILE_EXPORT_CSV, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_FILE_EXPORT_PDF})
        m_actions.value(id)->setEnabled(hasRows);
    m_actions.value(ID_EDIT_COPY)->setEnabled(m_pView->List()->selectionModel()->hasSelection());
    m_actions.value(ID_EDIT_STATION_NAMES)->setEnabled(m_pUserNames && hasRows);
    const bool archive = m_pHistoryCommands && m_pHistoryCommands->Archive();
    for (const int id : {ID_FILE_IMPORT_HISTORY, ID_EDIT_DELETE_HISTORY, ID_EDIT_RECOVER_HISTORY, ID_VIEW_HISTORY,
                         ID_VIEW_HISTORY_CARDS})
        m_actions.value(id)->setEnabled(archive);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_pDocumentCommands->SaveModified()) {
        event->accept();
    } else {
        event->ignore();
    }
}

QAction* CMainFrame::AddCommand(QMenu* menu, int textId, int commandId)
{
    QAction* action = menu->addAction(LoadResString(textId));
    // The prompt before the line feed goes to the status bar, the rest is the tooltip.
    action->setStatusTip(ResStringField(commandId, 0));
    action->setToolTip(ResStringField(commandId, 1));
    m_actions.insert(commandId, action);
    return action;
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    // Puts the reader into its run mode; nothing of it is shown.
    if (m_readerHooks.probe) {
        m_readerHooks.probe();
    }
    m_pIdmPane = AddPane(ID_INDICATOR_IDM, IDS_PANE_IDM, QStringLiteral("9999999999999999 "));
    m_pBalancePane = AddPane(ID_INDICATOR_BALANCE, IDS_PANE_BALANCE, QStringLiteral("99,999円 "));
    // The rest of the bar: a note that stays until the next read or list replaces it.
    m_pNotePane = new QLabel(bar);
    m_pNotePane->setObjectName(QStringLiteral("paneNote"));
    bar->addWidget(m_pNotePane, 1);

    auto* group = new QWidget(bar);
    group->setAccessibleName(LoadResString(IDS_PANE_GROUP_VIEW));
    auto* layout = new QHBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    m_pGridButton = AddViewButton(group, ID_VIEW_GRID, QStringLiteral(":/images/grid.png"));
    m_pZebraButton = AddViewButton(group, ID_VIEW_ZEBRA, QStringLiteral(":/images/stripes.png"));
    m_pFilePane = new QLabel(bar);
    m_pFilePane->setObjectName(QStringLiteral("paneFile"));
    m_pFilePane->setAccessibleName(LoadResString(IDS_PANE_FILE));
    m_pFilePane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addPermanentWidget(m_pFilePane);
    bar->addPermanentWidget(group);
}

QLabel* CMainFrame::AddPane(int paneId, int labelId, const QString& sample)
{
    auto* pane = new QLabel(statusBar());
    pane->setObjectName(QStringLiteral("pane%1").arg(paneId));
    pane->setAccessibleName(LoadResString(labelId));
    pane->setToolTip(ResStringField(paneId, 1));
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const int frame = 2 * pane->frameWidth() + pane->contentsMargins().left() + pane->contentsMargins().right();
    pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(sample) + frame + 2 * pane->margin() + 4);
    statusBar()->addWidget(pane);
    return pane;
}

QToolButton* CMainFrame::AddViewButton(QWidget* group, int commandId, const QString& image)
{
    auto* button = new QToolButton(group);
    QAction* action = m_actions.value(commandId);
    action->setIcon(QIcon(image));
    action->setIconVisibleInMenu(false);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(14, 14));
    button->setAutoRaise(true);
    group->layout()->addWidget(button);
    return button;
}

QLabel* CMainFrame::Pane(int paneId) const
{
    switch (paneId) {
    case ID_INDICATOR_IDM:
        return m_pIdmPane;
    case ID_INDICATOR_BALANCE:
        return m_pBalancePane;
    default:
        return nullptr;
    }
}

QToolButton* CMainFrame::ViewButton(int commandId) const
{
    switch (commandId) {
    case ID_VIEW_GRID:
        return m_pGridButton;
    case ID_VIEW_ZEBRA:
        return m_pZebraButton;
    default:
        return nullptr;
    }
}

void CMainFrame::SetCardStatus(const QString& idm, int32_t balance)
{
    const QString balanceText = balance >= 0 ? FormatYen(balance) : QString();
    if (QLabel* pane = Pane(ID_INDICATOR_IDM)) {
        pane->setText(idm);
        pane->repaint();
    }
    if (QLabel* pane = Pane(ID_INDICATOR_BALANCE)) {
        pane->setText(balanceText);
        pane->repaint();
    }
}

void CMainFrame::NoteReadByPassed(const QDate& today)
{
    CHistoryArchive* archive = m_pHistoryCommands->Archive();
    std::vector<SArchivedCard> cards;
    // An archive that cannot be read now says why at the first read or look.
    if (!archive || !QFileInfo::exists(archive->Path()) || !archive->Cards(cards))
        return;
    const auto last = std::find_if(cards.begin(), cards.end(), [](const SArchivedCard& card) { return card.lastRead != 0; });
    if (last == cards.end() || !last->readBy || *last->readBy >= today)
        return;
    SetNote(LoadResString(IDS_READ_BY_PASSED)
                .arg(last->strName.isEmpty() ? IdmText(last->idm) : last->strName,
                     last->readBy->toString(QStringLiteral("yyyy/MM/dd"))));
}

void CMainFrame::SetNote(const QString& text)
{
    m_pNotePane->setText(text);
    m_pNotePane->setToolTip(text);
}

void CMainFrame::OnCommand(int commandId)
{
    switch (commandId) {
    case ID_CARD_READ:
        OnCardRead();
        break;
    case ID_VIEW_GRID:
        OnViewGrid();
        break;
    case ID_VIEW_ZEBRA:
        OnViewZebra();
        break;
    case ID_FILE_OPEN:
        m_pDocumentCommands->Open();
        UpdateRecentFileActions();
        break;
    case ID_FILE_SAVE:
        m_pDocumentCommands->Save();
        break;
    case ID_FILE_SAVE_AS:
        m_pDocumentCommands->SaveAs();
        break;
    case ID_FILE_EXPORT_CSV:
        m_pClaimCommands->ExportCsv();
        break;
    case ID_FILE_CSV_OPTIONS:
        m_pClaimCommands->EditCsvOptions();
        break;
    case ID_FILE_PRINT:
        m_pClaimCommands->Print();
        break;
    case ID_FILE_PRINT_PREVIEW:
        m_pClaimCommands->Preview();
        break;
    case ID_FILE_EXPORT_PDF:
        m_pClaimCommands->ExportPdf();
        break;
    case ID_FILE_REPORT_SETTINGS:
        m_pClaimCommands->EditReportSettings();
        break;
    case ID_EDIT_COPY:
        if (m_pView)
            m_pView->CopySelectedRows();
        break;
    case ID_FILE_IMPORT_HISTORY:
        m_pHistoryCommands->ImportFile();
        break;
    case ID_EDIT_DELETE_HISTORY:
        m_pHistoryCommands->DeleteShownCard();
        break;
    case ID_EDIT_RECOVER_HISTORY:
        m_pHistoryCommands->RecoverArchive();
        break;
    case ID_VIEW_HISTORY:
        m_pHistoryCommands->SetHistoryView(m_profile.m_bHistoryView == 0);
        UpdateCommandChecks();
        break;
    case ID_VIEW_AUTO_READ:
        OnViewAutoRead();
        break;
    case ID_VIEW_HISTORY_CARDS:
        m_pHistoryCommands->ChooseCard();
        UpdateCommandChecks();
        break;
    case ID_EDIT_STATION_NAMES:
        if (m_pView && m_pUserNames)
            EditStationName(this, *m_pView, *m_pUserNames);
        break;
    case ID_EDIT_DESTINATIONS:
        if (m_pView) {
            CCorvaneForm* form = m_pView;
            EditDestinations(this, m_profile, [form](const CDestinationDlg::Lookup& lookup) {
                return form->FillEmptyDestinations(lookup);
            });
        }
        break;
    default:
        break;
    }
}

void CMainFrame::OnCardRead()
{
    // A read replaces what the window shows.
    if (!m_pDocument || !m_pDocumentCommands->SaveModified()) {
        return;
    }
    m_pDocument->UpdateAllViews(HINT_SYNC_ORDER);
    if (m_pView) {
        m_pCardWatcher->SetPaused(true);
        m_pView->OnCardRead();
        m_pCardWatcher->SetPaused(false);
    }
}

void CMainFrame::OnViewAutoRead()
{
    m_profile.m_bAutoRead = m_profile.m_bAutoRead == 0 ? 1 : 0;
    m_pCardWatcher->SetWatching(m_profile.m_bAutoRead != 0 && m_readerHooks.presence);
    UpdateCommandChecks();
}

void CMainFrame::OnViewGrid()
{
    m_profile.m_bGridView = m_profile.m_bGridView == 0 ? 1 : 0;
    if (m_pView) {
        m_pView->ApplyGridSetting();
    }
    UpdateCommandChecks();
}

void CMainFrame::OnViewZebra()
{
    m_profile.m_bZebraView = m_profile.m_bZebraView == 0 ? 1 : 0;
    if (m_pView) {
        m_pView->RepaintList();
    }
    UpdateCommandChecks();
}

void CMainFrame::UpdateCommandChecks()
{
    m_actions.value(ID_VIEW_GRID)->setChecked(m_profile.m_bGridView != 0);
    m_actions.value(ID_VIEW_ZEBRA)->setChecked(m_profile.m_bZebraView != 0);
    m_actions.value(ID_VIEW_HISTORY)->setChecked(m_profile.m_bHistoryView != 0);
    m_actions.value(ID_VIEW_AUTO_READ)->setChecked(m_profile.m_bAutoRead != 0);
    for (auto it = m_columnOfCommand.cbegin(); it != m_columnOfCommand.cend(); ++it) {
        if (m_pView)
            m_actions.value(it.key())->setChecked(m_pView->IsColumnShown(it.value()));
    }
}
