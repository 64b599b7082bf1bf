#include "cli/OutputTarget.h"

#include "card/AppMessage.h"
#include "cli/ExitCode.h"
#include "cli/OutputSink.h"
#include "document/OutputFile.h"

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
    const OutputWriter write = [&writer](QIODevice& device) {
        COutputSink sink(device);
        writer(sink);
        return sink.Flush();
    };
    QString reason;
    if (m_strPath.isEmpty() || m_strPath == QLatin1String("-") || m_strPath == QLatin1String("/dev/stdout")) {
        if (!WriteOutputDevice(m_standardOutput, write, reason))
            return Failed(QStringLiteral("standard output"), reason);
        return EXIT_OK;
    }
    if (!WriteOutputFile(m_strPath, write, reason))
        return Failed(m_strPath, reason);
    return EXIT_OK;
}
