#include "foundation/ui/Bars.h"
#include "foundation/ui/Clndr.h"
#include "foundation/ui/FormBase.h"
#include "foundation/ui/WMsgs.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InstallMessageWindows();
    InstallProgressWindow();

    int code = 0;
    {
        QMainWindow window;
        window.setObjectName(QStringLiteral("FormMain"));
        window.setWindowTitle(QStringLiteral("Qor"));
        window.resize(900, 600);
        window.show();
        code = app.exec();
    }
    if (const auto exitCode = PendingProgramExit())
        code = *exitCode;

    RemoveMonthCalendarForm();
    RemoveProgressWindow();
    RemoveMessageWindows();
    return code;
}
