// Shared main of every test program: pins the time zone and keeps settings and the
// history archive private, whoever runs the tests and however.
#include <gtest/gtest.h>

#ifdef VOLUNI_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <QTemporaryDir>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv)
{
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
#ifdef VOLUNI_TEST_GUI
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
    // Settings and user data go to folders of this run alone.
    QTemporaryDir configHome;
    setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);
    setenv("VOLUNI_TEST_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);
    QTemporaryDir dataHome;
    setenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit().constData(), 1);

    TestApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
