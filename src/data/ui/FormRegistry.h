#pragma once
// The long-lived windows of the program, made by start-up in a fixed order
// through factories registered by component name. A name without a
// factory gets a placeholder window of that name, so that the order, the
// placements and the fonts already hold for windows not written yet.
//
// A later window registers itself before RunProgram (data/ui/Program.h),
// e.g. in the application's RegisterProgramForms:
//
//   RegisterForm("FormPodr", [] { return new TFormPodr(); });
//
// The forms are owned by the registry and destroyed at shutdown, the last
// made first.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QMainWindow;
class QWidget;

// Makes the window, without a parent (the application owns it) and hidden.
// Its objectName must be the component name it was registered under.
using TFormFactory = std::function<QWidget*()>;

// The forms made at start-up after the data module, in their order: the
// main window "FormMain" first, the splash "FormLabel" last.
const QStringList& StartupFormNames();

void RegisterForm(const QString& name, TFormFactory factory);
// Back to the placeholder.
void UnregisterForm(const QString& name);
bool IsFormRegistered(const QString& name);

// The registered window, or a placeholder: a QMainWindow for "FormMain", a
// TForm showing its name for the others. Added to ProgramForms().
QWidget* CreateProgramForm(const QString& name);
// A window made elsewhere (the splash) joins the list.
void AddProgramForm(QWidget* form);
// Whether the window is a placeholder.
bool IsPlaceholderForm(const QWidget* form);

// The live forms of the program, in the order they were made.
QList<QWidget*> ProgramForms();
QWidget* FindProgramForm(const QString& name);
// "FormMain" as made; nullptr before.
QMainWindow* MainForm();
// Destroys the forms still alive, the last made first.
void DestroyProgramForms();
