// The demo mode: a simulated reader with a card from a card image, so a whole read
// can be tried without hardware.
#pragma once

#include <QString>
#include <QStringList>

// The card image bundled with the program: a realistic commuter card.
inline const QString kDemoCardImage = QStringLiteral(":/demo/commute.json");

// Takes "--demo" and "--card-image FILE" out of arguments (the first element is
// the program) and, when one was given, puts the simulated PC/SC service with
// that card behind the PC/SC seam. False after a message when the image cannot
// be loaded or "--card-image" has no file; the program then ends.
bool ApplyDemoOptions(QStringList& arguments);
