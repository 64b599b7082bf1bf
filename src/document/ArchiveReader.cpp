#include "document/ArchiveReader.h"

#include "document/ArchiveError.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr uint32_t kTimeMarker = 0x8000000A;
constexpr uint16_t kUnicodeMarker = 0xFFFE;
constexpr uint64_t kMaxTextLength = 0x7FFFFFFF;
// Longer texts are read piece by piece, so a length that lies costs no more
// memory than the bytes that are really there.
constexpr uint64_t kChunkSize = 64 * 1024;
// How long a sequential source may pause before its data counts as ended.
constexpr int kWaitMs = 30000;

[[noreturn]] void ThrowEndOfFile()
{
    throw CArchiveError(CArchiveError::Kind::EndOfFile);
}

}  // namespace

CArchiveReader::CArchiveReader(QIODevice& device)
    : m_device(device)
    , m_buffer(static_cast<qsizetype>(kChunkSize), Qt::Uninitialized)
{
}

void CArchiveReader::Refill()
{
    for (;;) {
        const qint64 got = m_device.read(m_buffer.data(), m_buffer.size());
        if (got > 0) {
            m_pos = 0;
            m_end = static_cast<qsizetype>(got);
            return;
        }
        // A sequential device may deliver its data in pieces.
        if (got < 0 || !m_device.isSequential() || !m_device.waitForReadyRead(kWaitMs))
            ThrowEndOfFile();
    }
}

void CArchiveReader::ReadBytes(uint8_t* out, qsizetype count)
{
    while (count > 0) {
        if (m_pos == m_end)
            Refill();
        const qsizetype n = std::min(count, m_end - m_pos);
        std::memcpy(out, m_buffer.constData() + m_pos, static_cast<size_t>(n));
        m_pos += n;
        out += n;
        count -= n;
    }
}

template <typename T>
T CArchiveReader::ReadLittleEndian()
{
    std::array<uint8_t, sizeof(T)> bytes{};
    ReadBytes(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return qFromLittleEndian<T>(bytes.data());
}

uint8_t CArchiveReader::ReadByte()
{
    uint8_t b = 0;
    ReadBytes(&b, 1);
    return b;
}

uint16_t CArchiveReader::ReadUInt16() { return ReadLittleEndian<uint16_t>(); }
uint32_t CArchiveReader::ReadUInt32() { return ReadLittleEndian<uint32_t>(); }
int32_t CArchiveReader::ReadInt32() { return ReadLittleEndian<int32_t>(); }
uint64_t CArchiveReader::ReadUInt64() { return ReadLittleEndian<uint64_t>(); }
int64_t CArchiveReader::ReadInt64() { return ReadLittleEndian<int64_t>(); }

float CArchiveReader::ReadFloat()
{
    const uint32_t bits = ReadUInt32();
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double CArchiveReader::ReadDouble()
{
    const uint64_t bits = ReadUInt64();
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int64_t CArchiveReader::ReadTime()
{
    const uint32_t first = ReadUInt32();
    if (first == kTimeMarker)
        return ReadInt64();
    return static_cast<int32_t>(first);
}

QByteArray CArchiveReader::ReadChunked(uint64_t size)
{
    QByteArray bytes;
    uint64_t have = 0;
    while (have < size) {
        const uint64_t chunk = std::min(size - have, kChunkSize);
        bytes.resize(static_cast<qsizetype>(have + chunk));
        ReadBytes(reinterpret_cast<uint8_t*>(bytes.data()) + have, static_cast<qsizetype>(chunk));
        have += chunk;
    }
    return bytes;
}

QString CArchiveReader::ReadUnicodeChunked(uint64_t length)
{
    QString text;
    uint64_t have = 0;
    while (have < length) {
        const uint64_t chunk = std::min(length - have, kChunkSize / 2);
        text.resize(static_cast<qsizetype>(have + chunk));
        char16_t* units = reinterpret_cast<char16_t*>(text.data()) + have;
        ReadBytes(reinterpret_cast<uint8_t*>(units), static_cast<qsizetype>(chunk * 2));
        qFromLittleEndian<char16_t>(units, static_cast<qsizetype>(chunk), units);
        have += chunk;
    }
    return text;
}

QString CArchiveReader::ReadText()
{
    bool bUnicode = false;
    uint64_t length = ReadByte();
    if (length == 0xFF) {
        uint16_t word = ReadUInt16();
        if (word == kUnicodeMarker) {
            bUnicode = true;
            length = ReadByte();
            if (length == 0xFF)
                word = ReadUInt16();
        }
        if (length == 0xFF) {
            length = word;
            if (word == 0xFFFF) {
                length = ReadUInt32();
                if (length == 0xFFFFFFFF) {
                    length = ReadUInt64();
                    if (length > kMaxTextLength)
                        throw CArchiveError(CArchiveError::Kind::Generic);
                }
            }
        }
    }

    if (bUnicode)
        return ReadUnicodeChunked(length);
    const QByteArray bytes = ReadChunked(length);
    if (bytes.isEmpty())
        return QString();
    if (!m_ansi)
        m_ansi.emplace("Shift_JIS");
    // Without ICU, Qt knows no Shift_JIS; the local 8-bit encoding is the nearest guess.
    if (!m_ansi->isValid())
        return QString::fromLocal8Bit(bytes);
    m_ansi->resetState();
    return m_ansi->decode(bytes);
}
