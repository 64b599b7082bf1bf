#include "app/MainFrame.h"

#include "app/AppProfile.h"
#include "document/CorvaneDoc.h"
#include "view/CorvaneView.h"
#include "readers/FelicaMod.h"
#include "card/FormatAmount.h"
#include "resources/StringTable.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>

namespace {

constexpr int kStatusBarCommand = 59393;
constexpr int kMinimumWidth = 520;
constexpr int kMinimumHeight = 380;
// First size: every column with a width of its own visible, as a new frame
// window would open on a desktop; never more than the screen offers.
constexpr int kInitialWidth = 900;
constexpr int kInitialHeight = 560;

} // namespace

CMainFrame::ReaderHooks CMainFrame::DefaultReaderHooks()
{
    return {
        [] { ProbeReader(); },
        [] {
            CFelicaMod coordinator;
            coordinator.RestoreReaderMode();
        },
    };
}

CMainFrame::CMainFrame(CCorvaneDoc& document, CAppProfile& profile, ReaderHooks hooks, QWidget* parent)
    : QMainWindow(parent)
    , m_pDocument(&document)
    , m_profile(profile)
    , m_readerHooks(std::move(hooks))
    , m_look(AppLookFromSetting(profile.m_nAppLook))
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
    UpdateCommandChecks();
}

CMainFrame::~CMainFrame()
{
    if (m_readerHooks.restore) {
        m_readerHooks.restore();
    }
}

void CMainFrame::CreateMenuBar()
{
    QMenu* file = menuBar()->addMenu(LoadResString(IDS_MENU_FILE));
    QAction* read = AddCommand(file, IDS_MENU_CARD_READ, ID_CARD_READ);
    read->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    file->addSeparator();
    QAction* exit = AddCommand(file, IDS_MENU_EXIT, ID_APP_EXIT);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(LoadResString(IDS_MENU_VIEW));
    AddCommand(view, IDS_MENU_GRID, ID_VIEW_GRID)->setCheckable(true);
    AddCommand(view, IDS_MENU_ZEBRA, ID_VIEW_ZEBRA)->setCheckable(true);
    view->addSeparator();
    QAction* statusBarCommand = AddCommand(view, IDS_MENU_STATUS_BAR, kStatusBarCommand);
    statusBarCommand->setCheckable(true);
    statusBarCommand->setChecked(true);
    connect(statusBarCommand, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

    QMenu* help = menuBar()->addMenu(LoadResString(IDS_MENU_HELP));
    QAction* about = AddCommand(help, IDS_MENU_ABOUT, ID_APP_ABOUT);
    connect(about, &QAction::triggered, this, &CMainFrame::AboutRequested);

    for (const int id : {ID_CARD_READ, ID_VIEW_GRID, ID_VIEW_ZEBRA}) {
        connect(m_actions.value(id), &QAction::triggered, this, [this, id] { OnCommand(id); });
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

    auto* group = new QWidget(bar);
    group->setAccessibleName(LoadResString(IDS_PANE_GROUP_VIEW));
    auto* layout = new QHBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    m_pGridButton = AddViewButton(group, ID_VIEW_GRID, QStringLiteral(":/images/grid.png"));
    m_pZebraButton = AddViewButton(group, ID_VIEW_ZEBRA, QStringLiteral(":/images/stripes.png"));
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
    default:
        break;
    }
}

void CMainFrame::OnCardRead()
{
    if (!m_pDocument) {
        return;
    }
    m_pDocument->UpdateAllViews(HINT_SYNC_ORDER);
    if (m_pView) {
        m_pView->OnCardRead();
    }
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
}
