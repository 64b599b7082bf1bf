// voluni: reads a card or an entry file without a window and prints the entries.
#include "card/AppMessage.h"
#include "cli/ExitCode.h"
#include "cli/VoluniCommand.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <unistd.h>

namespace {

// The report paints text, which takes a GUI application's font database; the
// offscreen platform gives one without a display. Other commands stay without.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "report") == 0) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            return std::make_unique<QGuiApplication>(argc, argv);
        }
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char* argv[])
{
    const std::unique_ptr<QCoreApplication> app = MakeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("voluni"));
    SetMessagePresenter([](const QString& text, MessageIcon) {
        std::fprintf(stderr, "voluni: %s\n", text.toUtf8().constData());
    });
    // Unbuffered: the tool buffers itself, and each write's failure is seen where it happens.
    QFile standardOutput;
    standardOutput.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    int rc = RunVoluni(QCoreApplication::arguments(), standardOutput);
    // Some file systems report a lost write only when the file is closed.
    if (close(STDOUT_FILENO) != 0 && errno != EBADF && rc == EXIT_OK) {
        std::fprintf(stderr, "voluni: standard output: %s\n", std::strerror(errno));
        rc = EXIT_FILE;
    }
    return rc;
}
