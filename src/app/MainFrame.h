// The main window: menu, status bar with the card's IDm and balance, the list's
// look toggles, and the route of the card read command to the history view.
#pragma once

#include "app/AppLook.h"
#include "view/CardStatusBar.h"

#include <QHash>
#include <QMainWindow>

#include <functional>

class CAppProfile;
class CCorvaneDoc;
class CCorvaneForm;
class QAction;
class QLabel;
class QToolButton;

class CMainFrame : public QMainWindow, public ICardStatusBar {
    Q_OBJECT

public:
    // What the frame does to the card reader when it is made and destroyed.
    struct ReaderHooks {
        std::function<void()> probe;
        std::function<void()> restore;
    };
    static ReaderHooks DefaultReaderHooks();

    CMainFrame(CCorvaneDoc& document, CAppProfile& profile, ReaderHooks hooks = DefaultReaderHooks(),
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    void SetCardStatus(const QString& idm, int32_t balance) override;

    CCorvaneForm* GetActiveView() const { return m_pView; }
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

private:
    void CreateMenuBar();
    void CreateStatusBar();
    QAction* AddCommand(QMenu* menu, int textId, int commandId);
    QLabel* AddPane(int paneId, int labelId, const QString& sample);
    QToolButton* AddViewButton(QWidget* group, int commandId, const QString& image);
    void UpdateCommandChecks();
    void OnCardRead();
    void OnViewGrid();
    void OnViewZebra();

    CCorvaneDoc* m_pDocument;
    CAppProfile& m_profile;
    ReaderHooks m_readerHooks;
    EAppLook m_look;
    CCorvaneForm* m_pView = nullptr;
    QHash<int, QAction*> m_actions;
    QLabel* m_pIdmPane = nullptr;
    QLabel* m_pBalancePane = nullptr;
    QToolButton* m_pGridButton = nullptr;
    QToolButton* m_pZebraButton = nullptr;
};
