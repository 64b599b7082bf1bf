#include "cli/OutputSink.h"

#include "document/WriteAll.h"

#include <QIODevice>

COutputSink::COutputSink(QIODevice& device)
    : m_device(device)
    , m_buffer(2 * kBlockSize)
{
}

void COutputSink::MakeRoom(qsizetype count)
{
    WriteBlock();
    if (count > static_cast<qsizetype>(m_buffer.size()))
        m_buffer.resize(static_cast<size_t>(count));
}

void COutputSink::WriteBlock()
{
    if (!m_bFailed && !WriteAll(m_device, m_buffer.data(), m_used)) {
        m_bFailed = true;
        // Taken now: a file being committed forgets the reason of its failed write.
        m_strError = m_device.errorString();
    }
    m_used = 0;
}

bool COutputSink::Flush()
{
    WriteBlock();
    return !m_bFailed;
}
