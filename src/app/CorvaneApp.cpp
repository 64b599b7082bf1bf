#include "app/CorvaneApp.h"

#include "app/AboutDlg.h"
#include "card/AppMessage.h"
#include "document/ArchiveError.h"
#include "document/CorvaneDoc.h"
#include "view/CorvaneForm.h"
#include "app/MainFrame.h"
#include "history/HistoryArchive.h"
#include "usernames/UserNames.h"
#include "stationdb/StationDb.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include <exception>
#include <utility>

CCorvaneApp::CCorvaneApp(QStringList arguments, QString lockPath)
    : m_arguments(std::move(arguments))
    , m_strLockPath(std::move(lockPath))
{
}

CCorvaneApp::~CCorvaneApp()
{
    // The frame's view refers to the document and the archive: the frame goes first.
    m_pMainFrame.reset();
    m_pDocument.reset();
    m_pArchive.reset();
    m_pUserNames.reset();
}

QString CCorvaneApp::DefaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return QDir(folder).filePath(LoadResString(AFX_IDS_APP_TITLE) + QStringLiteral(".lock"));
}

bool CCorvaneApp::InitInstance()
{
    // One instance per user: the lock dies with its process.
    m_hMutex = std::make_unique<QLockFile>(m_strLockPath);
    m_hMutex->setStaleLockTime(0);
    if (!m_hMutex->tryLock(0)) {
        // Only another running instance refuses the start; a lock that cannot be
        // made at all (an unwritable runtime folder) must not keep the program away.
        if (m_hMutex->error() == QLockFile::LockFailedError) {
            ShowAppMessage(LoadResString(IDS_ALREADY_RUNNING), MessageIcon::Exclamation);
            return false;
        }
        m_hMutex.reset();
    }

    QCoreApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganization));
    QCoreApplication::setApplicationName(LoadResString(AFX_IDS_APP_TITLE));

    m_pProfile = std::make_unique<CAppProfile>();
    m_pProfile->LoadProfile();
    m_recentFiles = CRecentFileList(m_pProfile->m_nMruMax);
    m_recentFiles.ReadList();
    m_bRecentFilesRead = true;

    m_pDocument = std::make_unique<CCorvaneDoc>();
    m_pMainFrame = std::make_unique<CMainFrame>(*m_pDocument, *m_pProfile, m_readerHooks);
    m_pMainFrame->SetRecentFiles(&m_recentFiles);
    // Opened at the first read or look (or the start's look at the day to read
    // the last card by): a broken archive never keeps the window away.
    m_pArchive = std::make_unique<CHistoryArchive>(m_strArchivePath.isEmpty() ? CHistoryArchive::DefaultPath()
                                                                              : m_strArchivePath);
    m_pMainFrame->SetHistoryArchive(m_pArchive.get());
    m_pUserNames = std::make_unique<CUserNames>(CUserNames::PathBeside(m_pArchive->Path()));
    m_pMainFrame->SetUserNames(m_pUserNames.get());
    QObject::connect(m_pMainFrame.get(), &CMainFrame::AboutRequested, m_pMainFrame.get(), [this] { OnAppAbout(); });
    // The view is set up before the document is filled, so the load's
    // notifications reach it and the file's entries are shown.
    m_pMainFrame->GetActiveView()->OnInitialUpdate();
    m_pMainFrame->FitColumns();

    const QStringList files = m_arguments.mid(1);
    if (files.isEmpty()) {
        m_pDocument->OnNewDocument();
    } else {
        try {
            m_pDocument->OnOpenDocument(files.first());
        } catch (...) {
            ReportDocumentError(std::current_exception(), false);
            m_pMainFrame.reset();
            return false;
        }
        m_recentFiles.Add(files.first());
    }

    m_pMainFrame->NoteReadByPassed(QDate::currentDate());
    m_pMainFrame->show();
    m_pMainFrame->activateWindow();
    m_bStarted = true;
    return true;
}

int CCorvaneApp::ExitInstance()
{
    // The view puts its column widths into the settings when it goes.
    m_pMainFrame.reset();
    if (m_pProfile) {
        m_pProfile->SaveProfile();
        m_pProfile.reset();
    }
    if (m_hMutex) {
        m_hMutex->unlock();
        m_hMutex.reset();
    }
    if (m_bRecentFilesRead) {
        m_recentFiles.WriteList();
    }
    return m_bStarted ? 0 : 1;
}

int CCorvaneApp::Run()
{
    if (InitInstance()) {
        QApplication::exec();
    }
    return ExitInstance();
}

QString CCorvaneApp::StationDbVersionText() const
{
    QString version;
    if (m_pProfile) {
        CStationDb stationDb;
        version = stationDb.VersionText(m_pProfile->GetConnectString(), m_pProfile->GetPassword());
    }
    return version.isEmpty() ? LoadResString(IDS_STATIONDB_NOT_CONNECTED) : version;
}

void CCorvaneApp::OnAppAbout()
{
    CAboutDlg about(StationDbVersionText(), m_pMainFrame.get());
    about.exec();
}
