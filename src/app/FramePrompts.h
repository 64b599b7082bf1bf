// The questions the main window asks the person: which file, and whether to
// save changes. Tests answer them without a dialog.
#pragma once

#include <QString>

#include <functional>

class QWidget;

enum class SaveAnswer { Save, Discard, Cancel };

struct SFramePrompts {
    // caption, proposed path (a folder or a file), filter; an empty text when cancelled.
    std::function<QString(QWidget* parent, const QString& caption, const QString& proposed, const QString& filter)>
        openFileName;
    std::function<QString(QWidget* parent, const QString& caption, const QString& proposed, const QString& filter)>
        saveFileName;
    // "変更を保存しますか？" with Yes, No and Cancel.
    std::function<SaveAnswer(QWidget* parent)> askSaveChanges;
};

// File dialogs and a message box.
SFramePrompts DefaultFramePrompts();
// Where a file dialog starts without a file of its own: the documents folder,
// or the home folder when there is none.
QString DefaultDocumentFolder();
