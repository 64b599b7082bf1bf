// Runs a fuzz target over the files of its seed corpus with the normal compiler, so that a
// decoder that breaks on a seed fails the test run without clang. A target aborts on a
// broken rule; this driver fails when a folder holds no file.
// <target>_replay <corpus folder>...
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir folder(QString::fromLocal8Bit(argv[i]));
        for (const QFileInfo& entry : folder.entryInfoList(QDir::Files, QDir::Name)) {
            QFile file(entry.filePath());
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(entry.filePath()), qPrintable(file.errorString()));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            std::printf("%s\n", qPrintable(entry.fileName()));
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
            ++files;
        }
    }
    if (files == 0) {
        std::fprintf(stderr, "no seed file found\n");
        return 1;
    }
    std::printf("%d seeds replayed\n", files);
    return 0;
}
