// Qt's own texts (file, print and colour dialogs, message box buttons) in Japanese,
// beside the program's texts, which are Japanese already.
#pragma once

class QCoreApplication;

// Installs qtbase_ja from Qt's translation folder; false, and Qt's English
// texts stay, when it is not installed.
bool InstallQtTranslation(QCoreApplication& app);
