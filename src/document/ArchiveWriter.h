// Writes the little-endian archive encoding of entry files to any byte sink.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class QIODevice;

// Collects the bytes and hands them to the device in large pieces; a device
// that refuses them makes Flush throw CArchiveError (generic).
class CArchiveWriter {
public:
    explicit CArchiveWriter(QIODevice& device);

    void WriteByte(uint8_t value);
    void WriteUInt16(uint16_t value);
    void WriteUInt32(uint32_t value);
    void WriteInt32(int32_t value);
    void WriteUInt64(uint64_t value);
    void WriteInt64(int64_t value);
    void WriteFloat(float value);
    void WriteDouble(double value);
    void WriteBytes(const uint8_t* data, qsizetype count);
    // Always the marker form: 0A 00 00 80, then 64-bit seconds.
    void WriteTime(int64_t seconds);
    // Always the Unicode form: FF FE FF, the length prefix, UTF-16LE units.
    void WriteText(const QString& text);
    void Flush();

private:
    template <typename T>
    void WriteLittleEndian(T value);

    QIODevice& m_device;
    QByteArray m_buffer;
};
