// Hands bytes to a device until it has taken all of them or refuses.
#pragma once

#include <QtGlobal>

class QIODevice;

// A device may take bytes in parts: a disk that fills up takes what still fits,
// and only the write after that fails with the reason. Returns false on a refusal;
// the device's errorString then says why.
bool WriteAll(QIODevice& device, const char* data, qint64 size);
