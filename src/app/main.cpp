// Entry point of the viewer.
#include "CorvaneApp.h"
#include "MessageBoxPresenter.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InstallMessageBoxPresenter();
    CCorvaneApp theApp(QApplication::arguments());
    return theApp.Run();
}
