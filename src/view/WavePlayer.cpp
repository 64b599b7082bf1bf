#include "view/WavePlayer.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

void PlayWaveFile(const QString& path, QObject* owner)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    // One player per owner: a new read's sound replaces one still playing.
    static const QString kName = QStringLiteral("voluniWavePlayer");
    auto* effect = owner->findChild<QSoundEffect*>(kName, Qt::FindDirectChildrenOnly);
    if (!effect) {
        effect = new QSoundEffect(owner);
        effect->setObjectName(kName);
    }
    effect->stop();
    effect->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    // Plays once loaded; a file that cannot be decoded or no device ends in silence.
    effect->play();
}
