#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setObjectName(QStringLiteral("FormMain"));
    window.setWindowTitle(QStringLiteral("Qor"));
    window.resize(900, 600);
    window.show();
    return app.exec();
}
