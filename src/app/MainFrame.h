// The main window: menu, status bar with the card's IDm and balance, the list's
// look toggles, and the route of the card read command to the history view.
#pragma once

#include "app/AppLook.h"
#include "app/CardWatcher.h"
#include "app/FramePrompts.h"
#include "document/CorvaneDoc.h"
#include "view/CardStatusBar.h"

#include <QDate>
#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

class CAppProfile;
class CClaimCommands;
class CCorvaneForm;
class CDocumentCommands;
class CHistoryArchive;
class CHistoryCommands;
class CRecentFileList;
class CUserNames;
class QAction;
class QLabel;
class QToolButton;

class CMainFrame : public QMainWindow, public ICardStatusBar, public IDocumentView {
    Q_OBJECT

public:
    // What the frame does to the card reader when it is made and destroyed.
    struct ReaderHooks {
        std::function<void()> probe;
        std::function<void()> restore;
        // One look whether a card lies on the reader, for the automatic read.
        std::function<ECardPresence()> presence;
    };
    static ReaderHooks DefaultReaderHooks();

    CMainFrame(CCorvaneDoc& document, CAppProfile& profile, ReaderHooks hooks = DefaultReaderHooks(),
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    void SetCardStatus(const QString& idm, int32_t balance) override;
    void SetNote(const QString& text) override;
    QLabel* NotePane() const { return m_pNotePane; }
    // The file name pane and the commands that need a file or rows follow the document.
    void OnUpdate(int hint) override;

    // The list opened and saved files go to (the application's).
    void SetRecentFiles(CRecentFileList* recentFiles);
    // Replaces the file dialogs and the save question (tests).
    void SetPrompts(SFramePrompts prompts) { m_prompts = std::move(prompts); }
    CDocumentCommands& DocumentCommands() const { return *m_pDocumentCommands; }
    CClaimCommands& ClaimCommands() const { return *m_pClaimCommands; }
    CHistoryCommands& HistoryCommands() const { return *m_pHistoryCommands; }
    // The history archive reads go to; without one the history commands are off.
    void SetHistoryArchive(CHistoryArchive* archive);
    // At start-up: when the day to read the card read last by lies before today,
    // the note says so. An archive not there yet is not made.
    void NoteReadByPassed(const QDate& today);
    // The names the person gives stations; without them "駅名の登録..." is off.
    void SetUserNames(CUserNames* names);
    QLabel* FilePane() const { return m_pFilePane; }
    CCardWatcher* CardWatcher() const { return m_pCardWatcher; }
    // The recent-file items of the File menu as they are now.
    QList<QAction*> RecentFileActions() const { return m_recentActions; }

    CCorvaneForm* GetActiveView() const { return m_pView; }
    // Widens the window, within the screen, until the view's columns fit; once the view is set up.
    void FitColumns();
    CCorvaneDoc* GetActiveDocument() const { return m_pDocument; }
    EAppLook AppliedLook() const { return m_look; }

    // Menu, accelerator, status-bar buttons and the form's read button all end here.
    void OnCommand(int commandId);

    QAction* CommandAction(int commandId) const { return m_actions.value(commandId); }
    QLabel* Pane(int paneId) const;
    QToolButton* ViewButton(int commandId) const;

signals:
    // The About command belongs to the application object.
    void AboutRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenuBar();
    void CreateStatusBar();
    QAction* AddCommand(QMenu* menu, int textId, int commandId);
    QAction* AddCommand(QMenu* menu, int textId, int commandId, const QKeySequence& shortcut);
    void AddColumnSwitch(QMenu* menu, int textId, int commandId, int column);
    void UpdateRecentFileActions();
    void OpenRecentFile(int index);
    void UpdateFilePane();
    void UpdateCommandStates();
    QLabel* AddPane(int paneId, int labelId, const QString& sample);
    QToolButton* AddViewButton(QWidget* group, int commandId, const QString& image);
    void UpdateCommandChecks();
    void OnCardRead();
    void OnViewAutoRead();
    void OnViewGrid();
    void OnViewZebra();

    CCorvaneDoc* m_pDocument;
    CAppProfile& m_profile;
    ReaderHooks m_readerHooks;
    EAppLook m_look;
    CCorvaneForm* m_pView = nullptr;
    CUserNames* m_pUserNames = nullptr;
    QHash<int, QAction*> m_actions;
    QLabel* m_pIdmPane = nullptr;
    QLabel* m_pBalancePane = nullptr;
    QToolButton* m_pGridButton = nullptr;
    QToolButton* m_pZebraButton = nullptr;
    QLabel* m_pFilePane = nullptr;
    QLabel* m_pNotePane = nullptr;
    CCardWatcher* m_pCardWatcher = nullptr;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentEnd = nullptr;      // the separator after the recent files
    QList<QAction*> m_recentActions;
    QHash<int, int> m_columnOfCommand;    // the View menu's column switches
    SFramePrompts m_prompts;
    std::unique_ptr<CDocumentCommands> m_pDocumentCommands;
    std::unique_ptr<CClaimCommands> m_pClaimCommands;
    std::unique_ptr<CHistoryCommands> m_pHistoryCommands;
};
