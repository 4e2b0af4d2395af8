#pragma once
// The program block: the fixed order in which the program comes up, runs
// its main loop and goes down. main() and the tests call RunProgram.
//
//   AddProgramUnit("calc", InitCalc, DoneCalc);   // layers above data
//   RegisterForm("FormPodr", ...);                // data/ui/FormRegistry.h
//   return RunProgram();
//
// Order: the units (settings, lists, data folder, fonts, then the added
// units), the text viewer, AppInitProc, the splash, PrepareStart (run state
// 1, the data base check, 2), the title, the data module, the forms of
// StartupFormNames(), StartProgram (login, placements 3/4, built-in data,
// 100), the main loop until the main window closes, FinishProgram (0). The
// shutdown undoes everything in reverse on every way out. An exception that
// reaches the block is shown (the silent abort is not) and the exit code
// is not 0.

#include "platform/DateTime.h"

#include <QString>
#include <functional>

// A unit of a higher layer: Init runs after the data layer's units, in the
// order added; Done in reverse at shutdown. Added once per name.
void AddProgramUnit(const QString& name, std::function<void()> init, std::function<void()> done);

// The recovery menu offered when the previous run did not end cleanly; it
// stays empty until the archive's recovery is written.
void SetRecoveryMenuHook(std::function<void()> hook);
void ShowRecoveryMenu();

// Called with the step's name before each step of the block ("units",
// "AppInitProc", "PrepareStart", "OpenDataBase", "DataModule", "Forms",
// "StartProgram", "MainLoop", "FinishProgram"; within StartProgram also
// "RestoreFormPlacements", "GenerateConstDops", "Calendar"), so that tests
// can make a step fail.
void SetProgramStepHook(std::function<void(const QString& step)> hook);

// The whole program; a QApplication must exist. Answers the exit code.
int RunProgram();

// The pieces, in the order RunProgram calls them.
void AppInitProc();
void PrepareStart();
// False when the program is not to run (the login failed).
bool StartProgram();
bool CheckPassword();
// Asks for the password until it matches (true), the box is cancelled or
// the attempts are used up (false). `typed` keeps the last text typed,
// cleared on cancel.
bool AskPassword(const QString& password, int attempts, QString& typed);
void FinishProgram();

// The main window's started flag: set after the login.
bool MainFormStarted();
// "Qor.hlp"; shown it cannot be here, the help action says so.
QString HelpFileName();
void ShowProgramHelp();
