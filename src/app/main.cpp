// Entry point of the viewer.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Voluni  Viewer - 非接触ICカード表示システム"));
    window.resize(720, 480);
    window.show();
    return app.exec();
}
