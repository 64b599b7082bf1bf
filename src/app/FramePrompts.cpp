#include "app/FramePrompts.h"

#include "resources/StringTable.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

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
        QMessageBox box(QMessageBox::Question, LoadResString(AFX_IDS_APP_TITLE), LoadResString(IDS_SAVE_CHANGES),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        box.button(QMessageBox::Yes)->setText(LoadResString(IDS_ANSWER_YES));
        box.button(QMessageBox::No)->setText(LoadResString(IDS_ANSWER_NO));
        box.button(QMessageBox::Cancel)->setText(LoadResString(IDS_ANSWER_CANCEL));
        const int answer = box.exec();
        if (answer == QMessageBox::Yes)
            return SaveAnswer::Save;
        return answer == QMessageBox::No ? SaveAnswer::Discard : SaveAnswer::Cancel;
    };
    return prompts;
}

QString DefaultDocumentFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}
