// voluni: reads a card or an entry file without a window and prints the entries.
#include "card/AppMessage.h"
#include "cli/ExitCode.h"
#include "cli/VoluniCommand.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <memory>

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
    QByteArray output;
    const int rc = RunVoluni(QCoreApplication::arguments(), output);
    std::fwrite(output.constData(), 1, static_cast<size_t>(output.size()), stdout);
    if (std::fflush(stdout) != 0 && rc == 0)
        return EXIT_FILE; // output lost: a file error like any other
    return rc;
}
