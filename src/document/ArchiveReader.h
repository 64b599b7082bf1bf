// Reads the little-endian archive encoding of entry files from any byte source.
#pragma once

#include <QString>
#include <QStringDecoder>

#include <cstdint>
#include <optional>

class QIODevice;

// Every read throws CArchiveError of the end-of-file kind when the data ends
// inside the value, and nothing is ever allocated for bytes that are not there.
// Reads ahead from the device in blocks, so bytes after the last field may be consumed.
class CArchiveReader {
public:
    explicit CArchiveReader(QIODevice& device);

    uint8_t ReadByte();
    uint16_t ReadUInt16();
    uint32_t ReadUInt32();
    int32_t ReadInt32();
    uint64_t ReadUInt64();
    int64_t ReadInt64();
    float ReadFloat();
    double ReadDouble();
    void ReadBytes(uint8_t* out, qsizetype count);
    // The marker form (0A 00 00 80, then 64-bit seconds) or a lone signed 32-bit value.
    int64_t ReadTime();
    // Either text form; 8-bit texts are Shift_JIS (code page 932).
    QString ReadText();

private:
    template <typename T>
    T ReadLittleEndian();
    void Refill();
    QByteArray ReadChunked(uint64_t size);
    QString ReadUnicodeChunked(uint64_t length);

    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    std::optional<QStringDecoder> m_ansi;
};
