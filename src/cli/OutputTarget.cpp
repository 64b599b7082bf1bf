#include "cli/OutputTarget.h"

#include "card/AppMessage.h"
#include "cli/ExitCode.h"
#include "cli/OutputSink.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

int Failed(const QString& name, const QString& reason)
{
    ShowAppMessage(name + QStringLiteral(": ") + reason, MessageIcon::Stop);
    return EXIT_FILE;
}

}  // namespace

COutputTarget::COutputTarget(QString path, QIODevice& standardOutput)
    : m_strPath(std::move(path))
    , m_standardOutput(standardOutput)
{
}

int COutputTarget::Write(const QByteArray& text) const
{
    return Write([&text](COutputSink& out) { out.Write(text); });
}

int COutputTarget::Write(const Writer& writer) const
{
    if (m_strPath.isEmpty() || m_strPath == QLatin1String("-") || m_strPath == QLatin1String("/dev/stdout"))
        return WriteInPlace(m_standardOutput, QStringLiteral("standard output"), writer);
    // Only a regular file (or a new one) is replaced: a pipe, a device or a
    // terminal that was there is written into, as the shell's ">" would.
    // QFileInfo and QSaveFile both follow a symbolic link to what it names.
    const QFileInfo info(m_strPath);
    if (info.exists() && !info.isFile()) {
        QFile file(m_strPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return Failed(m_strPath, file.errorString());
        const int rc = WriteInPlace(file, m_strPath, writer);
        file.close();
        if (rc == EXIT_OK && file.error() != QFileDevice::NoError)
            return Failed(m_strPath, file.errorString());
        return rc;
    }
    return WriteAtomically(writer);
}

int COutputTarget::WriteInPlace(QIODevice& device, const QString& name, const Writer& writer) const
{
    COutputSink sink(device);
    writer(sink);
    if (!sink.Flush())
        return Failed(name, sink.ErrorString());
    return EXIT_OK;
}

int COutputTarget::WriteAtomically(const Writer& writer) const
{
    // Unbuffered, as standard output: a write that the file's own buffer took
    // would fail at the flush, and there without its reason ("Unknown error").
    QSaveFile file(m_strPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Failed(m_strPath, file.errorString());
    COutputSink sink(file);
    writer(sink);
    if (!sink.Flush())
        return Failed(m_strPath, sink.ErrorString());
    if (!file.commit())
        return Failed(m_strPath, file.errorString());
    return EXIT_OK;
}
