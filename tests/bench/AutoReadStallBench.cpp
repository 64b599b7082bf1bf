// The viewer with the automatic read on: the longest time between two repaints of its
// window while the window asks for one every 10 ms. Run it with the PC/SC service
// stopped (auto-read-stall.sh does) to see whether a hung service holds the window.
// auto_read_stall_bench [seconds]
#include "app/MainFrame.h"
#include "document/CorvaneDoc.h"
#include "settings/AppProfile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// The longest gap between two paint events of the watched widget.
class CRepaintGaps : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            if (m_clock.isValid())
                m_nLongestMs = std::max(m_nLongestMs, m_clock.restart());
            else
                m_clock.start();
            ++m_nPaints;
        }
        return QObject::eventFilter(watched, event);
    }

    qint64 m_nLongestMs = 0;
    int m_nPaints = 0;

private:
    QElapsedTimer m_clock;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);

    CAppProfile profile;
    profile.LoadProfile();
    profile.m_bAutoRead = 1;
    CCorvaneDoc document;
    // Only the watch: the start's probe and the exit's restore are no part of the measure.
    CMainFrame::ReaderHooks hooks;
    hooks.presence = CMainFrame::DefaultReaderHooks().presence;
    CMainFrame frame(document, profile, hooks);
    frame.show();

    CRepaintGaps gaps;
    frame.installEventFilter(&gaps);
    QTimer ask;
    QObject::connect(&ask, &QTimer::timeout, &frame, [&frame] { frame.update(); });
    ask.start(10);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    std::printf("longest gap between repaints: %lld ms over %d repaints in %d s\n",
                static_cast<long long>(gaps.m_nLongestMs), gaps.m_nPaints, seconds);
    // A watch still waiting for the stopped service is not waited for.
    std::fflush(stdout);
    std::_Exit(gaps.m_nLongestMs < 100 ? 0 : 1);
}
