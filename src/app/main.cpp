#include "app/program/QorProgram.h"
#include "foundation/QtTranslations.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Without them Qt's dialogs speak English; the program runs on.
    InstallQtTranslations();
    return QorMain();
}
