// Buffered writing of a command's output, with every write to the device checked.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstring>
#include <vector>

class QIODevice;

// Collects small pieces and hands them to the device in large blocks. After the
// first failed write nothing more is written; Flush then returns false and
// ErrorString gives the device's reason.
class COutputSink {
public:
    explicit COutputSink(QIODevice& device);
    COutputSink(const COutputSink&) = delete;
    COutputSink& operator=(const COutputSink&) = delete;

    // Room for count more bytes, to be filled in place; Advance then takes what was used.
    char* Reserve(qsizetype count)
    {
        if (m_used + count > static_cast<qsizetype>(m_buffer.size()))
            MakeRoom(count);
        return m_buffer.data() + m_used;
    }
    void Advance(qsizetype used)
    {
        m_used += used;
        if (m_used >= kBlockSize)
            WriteBlock();
    }
    void Write(QByteArrayView bytes)
    {
        if (bytes.isEmpty())
            return; // an empty view may carry no pointer, which memcpy must not get
        std::memcpy(Reserve(bytes.size()), bytes.data(), static_cast<size_t>(bytes.size()));
        Advance(bytes.size());
    }
    void Write(char c)
    {
        *Reserve(1) = c;
        Advance(1);
    }

    bool Flush();
    bool Failed() const { return m_bFailed; }
    const QString& ErrorString() const { return m_strError; }

private:
    static constexpr qsizetype kBlockSize = 64 * 1024;

    void MakeRoom(qsizetype count);
    void WriteBlock();

    QIODevice& m_device;
    std::vector<char> m_buffer;
    qsizetype m_used = 0;
    bool m_bFailed = false;
    QString m_strError;
};
