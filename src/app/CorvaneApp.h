// The application object: single instance, settings, document, frame and view,
// the command line, and the About command.
#pragma once

#include "settings/AppProfile.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"

#include <QStringList>

#include <memory>
#include <utility>

class CCorvaneDoc;
class CHistoryArchive;
class CUserNames;
class QLockFile;

class CCorvaneApp {
public:
    // arguments as QCoreApplication::arguments() gives them; lockPath names the
    // single-instance lock (default: "Voluni_Viewer.lock" in the runtime folder).
    explicit CCorvaneApp(QStringList arguments, QString lockPath = DefaultLockPath());
    ~CCorvaneApp();
    CCorvaneApp(const CCorvaneApp&) = delete;
    CCorvaneApp& operator=(const CCorvaneApp&) = delete;

    static QString DefaultLockPath();

    // Start-up: false ends the program at once (ExitInstance still runs).
    bool InitInstance();
    // Exit: closes the window, writes the settings and the recent-file list,
    // releases the lock. Returns the process exit code.
    int ExitInstance();
    // Start-up, message loop, exit.
    int Run();

    // The history archive's file; the user's own by default. Set before InitInstance.
    void SetArchivePath(QString path) { m_strArchivePath = std::move(path); }

    // What the main frame does to the card reader; set before InitInstance.
    void SetReaderHooks(CMainFrame::ReaderHooks hooks) { m_readerHooks = std::move(hooks); }

    void OnAppAbout();
    // The station database's version text, or "(mdb未接続)" when it cannot be read.
    QString StationDbVersionText() const;

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    CCorvaneDoc* Document() const { return m_pDocument.get(); }
    const CRecentFileList& RecentFiles() const { return m_recentFiles; }

    std::unique_ptr<QLockFile> m_hMutex;
    std::unique_ptr<CAppProfile> m_pProfile;

private:
    QStringList m_arguments;
    QString m_strLockPath;
    QString m_strArchivePath;
    bool m_bStarted = false;
    bool m_bRecentFilesRead = false;
    CRecentFileList m_recentFiles;
    CMainFrame::ReaderHooks m_readerHooks = CMainFrame::DefaultReaderHooks();
    std::unique_ptr<CHistoryArchive> m_pArchive;
    std::unique_ptr<CUserNames> m_pUserNames;      // beside the archive
    std::unique_ptr<CCorvaneDoc> m_pDocument;
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
