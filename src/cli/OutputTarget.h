// Where a command's output goes: standard output, or the file named by --output.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class COutputSink;
class QIODevice;

// A command either streams its output through a writer or hands over a finished
// text; both reach the destination through Write, which checks every write and
// the final flush and close and reports a failure with the system's reason.
class COutputTarget {
public:
    using Writer = std::function<void(COutputSink&)>;

    // path is the --output value: empty, "-" and "/dev/stdout" mean standard output.
    COutputTarget(QString path, QIODevice& standardOutput);

    // Return EXIT_OK, or EXIT_FILE after showing "<destination>: <reason>".
    int Write(const Writer& writer) const;
    int Write(const QByteArray& text) const;

private:
    QString m_strPath;
    QIODevice& m_standardOutput;
};
