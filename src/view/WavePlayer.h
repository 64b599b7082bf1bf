// The success sound of a card read: a wave file played asynchronously.
#pragma once

#include <QString>

class QObject;

// Plays the wave file at path without waiting. An empty name, a missing file or
// no sound device gives silence and no error. The player lives under owner.
void PlayWaveFile(const QString& path, QObject* owner);
