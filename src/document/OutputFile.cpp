#include "document/OutputFile.h"

#include "document/WriteAll.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

std::optional<SOutputFault>& Fault()
{
    static std::optional<SOutputFault> fault;
    return fault;
}

// Stands before the real device and keeps its first refusal: a writer such as
// QPdfWriter does not look at what a write returns.
class CCheckedDevice : public QIODevice {
public:
    explicit CCheckedDevice(QIODevice& target)
        : m_target(target)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

    bool Failed() const { return m_bFailed; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }

    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_bFailed)
            return -1;
        qint64 taken = size;
        const std::optional<SOutputFault>& fault = Fault();
        if (fault)
            taken = std::clamp<qint64>(fault->nBytesTaken - m_nWritten, 0, size);
        if (!WriteAll(m_target, data, taken))
            return Refuse(m_target.errorString());
        m_nWritten += taken;
        if (taken < size)
            return Refuse(fault->strReason);
        return size;
    }

private:
    qint64 Refuse(const QString& reason)
    {
        m_bFailed = true;
        setErrorString(reason);
        return -1;
    }

    QIODevice& m_target;
    qint64 m_nWritten = 0;
    bool m_bFailed = false;
};

bool WriteChecked(QIODevice& device, const OutputWriter& writer, QString& reason)
{
    CCheckedDevice out(device);
    const bool done = writer(out);
    if (out.Failed()) {
        reason = out.errorString();
        return false;
    }
    reason.clear();
    return done;
}

}  // namespace

void SetOutputFault(std::optional<SOutputFault> fault)
{
    Fault() = std::move(fault);
}

bool WriteOutputDevice(QIODevice& device, const OutputWriter& writer, QString& reason)
{
    return WriteChecked(device, writer, reason);
}

bool WriteOutputFile(const QString& path, const OutputWriter& writer, QString& reason)
{
    // QFileInfo and QSaveFile both follow a symbolic link to what it names.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            reason = file.errorString();
            return false;
        }
        if (!WriteChecked(file, writer, reason))
            return false;
        file.close();
        if (file.error() != QFileDevice::NoError) {
            reason = file.errorString();
            return false;
        }
        return true;
    }
    // Unbuffered: a write that the file's own buffer took would fail at the
    // flush, and there without its reason ("Unknown error").
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reason = file.errorString();
        return false;
    }
    if (!WriteChecked(file, writer, reason)) {
        file.cancelWriting(); // the temporary file goes with the object
        return false;
    }
    if (!file.commit()) {
        reason = file.errorString();
        return false;
    }
    return true;
}
