#include "app/MessageBoxPresenter.h"

#include "card/AppMessage.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        break;
    }
    return QMessageBox::Warning;
}

} // namespace

void InstallMessageBoxPresenter()
{
    SetMessagePresenter([](const QString& text, MessageIcon icon) {
        QMessageBox box(BoxIcon(icon), LoadResString(AFX_IDS_APP_TITLE), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    });
}
