// Saves PNG pictures of the main window with the sample entry file loaded, in
// the "all" and "fares" states with zebra rows, the claim columns shown, and of
// the About box, the destination dialog and the station name dialog.
// voluni-screenshots [sample.ent] [output folder]
#include "app/AboutDlg.h"
#include "settings/AppProfile.h"
#include "app/DestinationDlg.h"
#include "app/StationNameDlg.h"
#include "view/HistoryModel.h"
#include "document/CorvaneDoc.h"
#include "view/CorvaneForm.h"
#include "app/MainFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

bool Save(QWidget& widget, const QString& path)
{
    QApplication::processEvents();
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The user's own settings stay untouched.
    QTemporaryDir configHome;
    setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", configHome.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);

    const QStringList args = QCoreApplication::arguments();
    const QString sample = args.size() > 1 ? args.at(1) : QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/sample.ent");
    const QString folder = args.size() > 2 ? args.at(2) : QStringLiteral(VOLUNI_BINARY_DIR "/screens");
    QDir().mkpath(folder);

    CAppProfile profile;
    profile.LoadProfile();
    profile.m_bZebraView = 1;
    CCorvaneDoc document;
    // No reader is touched for a picture.
    CMainFrame frame(document, profile, CMainFrame::ReaderHooks{});
    frame.GetActiveView()->OnInitialUpdate();
    try {
        document.OnOpenDocument(sample);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(sample), e.what());
        return 1;
    }
    frame.SetCardStatus(QStringLiteral("012E4CD18A136705"), 586);
    frame.resize(1000, 460);
    frame.show();

    bool ok = Save(frame, folder + QStringLiteral("/main-all.png"));
    frame.GetActiveView()->ShowAllBox()->click();
    ok = Save(frame, folder + QStringLiteral("/main-fares.png")) && ok;
    for (const int column : {0, CHistoryModel::kDestinationColumn, CHistoryModel::kDistanceColumn})
        frame.GetActiveView()->ShowColumn(column, true);
    ok = Save(frame, folder + QStringLiteral("/main-claim.png")) && ok;

    CDestinationDlg destinations({QStringLiteral("新宿"), QStringLiteral("横浜")},
                                 {QStringLiteral("新宿支店"), QStringLiteral("横浜営業所")},
                                 [](const CDestinationDlg::Lookup&) { return 0; }, &frame);
    destinations.show();
    ok = Save(destinations, folder + QStringLiteral("/destinations.png")) && ok;

    CStationNameDlg stationName({{EEntrySide::Entry, SStationKey::Rail(0, 3, 1), {QStringLiteral("東京"),
                                  QStringLiteral("中央本線"), QStringLiteral("JR東日本")}, false},
                                 {EEntrySide::Exit, SStationKey::Rail(0, 1, 9), {QStringLiteral("未登録"), {}, {}}, false}},
                                &frame);
    stationName.show();
    ok = Save(stationName, folder + QStringLiteral("/station-name.png")) && ok;

    CAboutDlg about(QStringLiteral("2(20261210)"), &frame);
    about.show();
    ok = Save(about, folder + QStringLiteral("/about.png")) && ok;
    return ok ? 0 : 1;
}
