#include "calc/CalcContext.h"
#include "data/AppContext.h"
#include "data/Startup.h"
#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/dialogs/Bars.h"
#include "foundation/ui/dialogs/Clndr.h"
#include "foundation/ui/dialogs/WMsgs.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InstallMessageWindows();
    InstallProgressWindow();

    int code = 0;
    try {
        // What the old units did when they were loaded, in their order.
        InitCalc();
        StartUp(TStartStep::DataFolder);
        QMainWindow window;
        window.setObjectName(QStringLiteral("FormMain"));
        window.setWindowTitle(QStringLiteral("Qor"));
        window.resize(900, 600);
        window.show();
        SetApplicationRunning(true);
        code = app.exec();
        SetApplicationRunning(false);
    } catch (const ProgramExit& e) {
        code = e.Code();
    }
    if (const auto exitCode = PendingProgramExit())
        code = *exitCode;
    SetApplicationRunning(false);
    ShutDown();
    DoneCalc();

    RemoveMonthCalendarForm();
    RemoveProgressWindow();
    RemoveMessageWindows();
    return code;
}
