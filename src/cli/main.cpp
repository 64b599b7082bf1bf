// voluni: reads a card or an entry file without a window and prints the entries.
#include "card/AppMessage.h"
#include "cli/ExitCode.h"
#include "cli/VoluniCommand.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
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
