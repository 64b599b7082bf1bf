// Lays out entry-file bytes field by field, so test files read like the format.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <cstdint>
#include <cstring>
#include <string>

class EntryFileBytes {
public:
    EntryFileBytes& Hex(const std::string& hex)
    {
        QByteArray compact = QByteArray::fromStdString(hex);
        compact.replace(' ', QByteArray());
        m_bytes += QByteArray::fromHex(compact);
        return *this;
    }
    EntryFileBytes& Raw(const QByteArray& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    EntryFileBytes& U8(uint8_t v) { return Little(v); }
    EntryFileBytes& U16(uint16_t v) { return Little(v); }
    EntryFileBytes& U32(uint32_t v) { return Little(v); }
    EntryFileBytes& I32(int32_t v) { return Little(v); }
    EntryFileBytes& I64(int64_t v) { return Little(v); }
    EntryFileBytes& U64(uint64_t v) { return Little(v); }
    EntryFileBytes& F32(float v)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        return U32(bits);
    }
    EntryFileBytes& F64(double v)
    {
        uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        return U64(bits);
    }
    EntryFileBytes& Time(int64_t seconds) { return Hex("0A 00 00 80").I64(seconds); }
    // Unicode form with the short (one byte) or the 16-bit length prefix.
    EntryFileBytes& Text(const QString& text)
    {
        Hex("FF FE FF");
        if (text.size() < 0xFF)
            U8(static_cast<uint8_t>(text.size()));
        else
            U8(0xFF).U16(static_cast<uint16_t>(text.size()));
        for (QChar c : text)
            U16(c.unicode());
        return *this;
    }
    // 8-bit form with a one-byte length.
    EntryFileBytes& Text8(const QByteArray& bytes)
    {
        U8(static_cast<uint8_t>(bytes.size()));
        return Raw(bytes);
    }

    const QByteArray& Bytes() const { return m_bytes; }
    qsizetype Size() const { return m_bytes.size(); }

private:
    template <typename T>
    EntryFileBytes& Little(T v)
    {
        char bytes[sizeof(T)];
        qToLittleEndian<T>(v, bytes);
        m_bytes.append(bytes, sizeof(T));
        return *this;
    }

    QByteArray m_bytes;
};
