#include "app/FramePrompts.h"

#include "resources/StringTable.h"

#include <QFileDialog>
#include <QMessageBox>

SFramePrompts DefaultFramePrompts()
{
    SFramePrompts prompts;
    prompts.openFileName = [](QWidget* parent, const QString& caption, const QString& proposed,
                              const QString& filter) {
        return QFileDialog::getOpenFileName(parent, caption, proposed, filter);
    };
    prompts.saveFileName = [](QWidget* parent, const QString& caption, const QString& proposed,
                              const QString& filter) {
        return QFileDialog::getSaveFileName(parent, caption, proposed, filter);
    };
    prompts.askSaveChanges = [](QWidget* parent) {
        const auto answer = QMessageBox::question(parent, LoadResString(AFX_IDS_APP_TITLE),
                                                  LoadResString(IDS_SAVE_CHANGES),
                                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                                  QMessageBox::Yes);
        if (answer == QMessageBox::Yes)
            return SaveAnswer::Save;
        return answer == QMessageBox::No ? SaveAnswer::Discard : SaveAnswer::Cancel;
    };
    return prompts;
}
