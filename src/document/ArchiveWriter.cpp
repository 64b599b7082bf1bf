#include "document/ArchiveWriter.h"

#include "document/ArchiveError.h"
#include "document/WriteAll.h"

#include <QIODevice>
#include <QtEndian>

#include <array>
#include <cstring>

namespace {

constexpr uint32_t kTimeMarker = 0x8000000A;
constexpr qsizetype kFlushSize = 64 * 1024;

}  // namespace

CArchiveWriter::CArchiveWriter(QIODevice& device)
    : m_device(device)
{
    m_buffer.reserve(kFlushSize + 1024);
}

void CArchiveWriter::WriteBytes(const uint8_t* data, qsizetype count)
{
    m_buffer.append(reinterpret_cast<const char*>(data), count);
    if (m_buffer.size() >= kFlushSize)
        Flush();
}

template <typename T>
void CArchiveWriter::WriteLittleEndian(T value)
{
    std::array<uint8_t, sizeof(T)> bytes{};
    qToLittleEndian<T>(value, bytes.data());
    WriteBytes(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void CArchiveWriter::WriteByte(uint8_t value) { WriteBytes(&value, 1); }
void CArchiveWriter::WriteUInt16(uint16_t value) { WriteLittleEndian(value); }
void CArchiveWriter::WriteUInt32(uint32_t value) { WriteLittleEndian(value); }
void CArchiveWriter::WriteInt32(int32_t value) { WriteLittleEndian(value); }
void CArchiveWriter::WriteUInt64(uint64_t value) { WriteLittleEndian(value); }
void CArchiveWriter::WriteInt64(int64_t value) { WriteLittleEndian(value); }

void CArchiveWriter::WriteFloat(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    WriteUInt32(bits);
}

void CArchiveWriter::WriteDouble(double value)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    WriteUInt64(bits);
}

void CArchiveWriter::WriteTime(int64_t seconds)
{
    WriteUInt32(kTimeMarker);
    WriteInt64(seconds);
}

void CArchiveWriter::WriteText(const QString& text)
{
    WriteByte(0xFF);
    WriteUInt16(0xFFFE);
    const auto length = static_cast<uint64_t>(text.size());
    if (length < 0xFF) {
        WriteByte(static_cast<uint8_t>(length));
    } else {
        WriteByte(0xFF);
        if (length < 0xFFFE) {
            WriteUInt16(static_cast<uint16_t>(length));
        } else {
            WriteUInt16(0xFFFF);
            if (length < 0xFFFFFFFF) {
                WriteUInt32(static_cast<uint32_t>(length));
            } else {
                WriteUInt32(0xFFFFFFFF);
                WriteUInt64(length);
            }
        }
    }
    const qsizetype start = m_buffer.size();
    m_buffer.resize(start + text.size() * 2);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), m_buffer.data() + start);
    if (m_buffer.size() >= kFlushSize)
        Flush();
}

void CArchiveWriter::Flush()
{
    if (m_buffer.isEmpty())
        return;
    const bool bComplete = WriteAll(m_device, m_buffer.constData(), m_buffer.size());
    m_buffer.resize(0);
    if (!bComplete)
        throw CArchiveError(CArchiveError::Kind::Generic);
}
