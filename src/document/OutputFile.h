// The one way every output reaches its file: a regular file is replaced only
// once every byte is written, a pipe or a device is written into, and every
// write is checked.
#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

class QIODevice;

// Writes the whole output into the device it is given. False when the writer
// itself gives up; a refused write needs no answer, the device remembers it.
using OutputWriter = std::function<bool(QIODevice&)>;

// Writes path through writer: a regular file (or a new one, or one a symbolic
// link names) through a temporary file beside it that replaces it at the end;
// anything else in place, as the shell's ">" would. On failure the old file is
// whole, the temporary one is gone, and reason holds the system's words (empty
// when the writer gave up on its own).
bool WriteOutputFile(const QString& path, const OutputWriter& writer, QString& reason);

// Writes into an open device (standard output, a pipe), every write checked.
bool WriteOutputDevice(QIODevice& device, const OutputWriter& writer, QString& reason);

// A refusal put in the way of every output from now on, as a full disk would:
// the first nBytesTaken bytes are taken, then writes fail with strReason.
struct SOutputFault {
    qint64 nBytesTaken = 0;
    QString strReason;
};
// Tests set it, and clear it with std::nullopt.
void SetOutputFault(std::optional<SOutputFault> fault);
