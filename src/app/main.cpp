// Entry point of the viewer.
#include "app/CorvaneApp.h"
#include "app/DemoMode.h"
#include "app/MessageBoxPresenter.h"
#include "app/QtTranslation.h"
#include "app/ViewerOptions.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    if (const std::optional<int> answered = AnswerInfoOptions(argc, argv))
        return *answered;
    QApplication app(argc, argv);
    InstallQtTranslation(app);
    // Lets a Wayland desktop match the window with the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("voluni-viewer"));
    InstallMessageBoxPresenter();
    QStringList arguments = QApplication::arguments();
    if (!ApplyDemoOptions(arguments))
        return 1;
    CCorvaneApp theApp(arguments);
    return theApp.Run();
}
