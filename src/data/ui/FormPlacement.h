#pragma once
// Every window's place, size, state and inner layout in the program INI:
// the section "<form name>Position" with Left, Top, Width, Height,
// WindowState, BorderStyle and Visible, and beside them the splitters'
// sizes and the headers' column widths as texts of four-digit numbers
// ("Splitter.<name>", "Header.<name>").
//
// While the program runs (InstallWindowPlacement) every window of it, made
// at start-up or on first use, takes the program fonts and its stored
// placement when it is first shown, or a first placement that shows it
// whole on the screen; its placement is saved whenever it is hidden.

#include <QRect>
#include <QSize>

class QWidget;

// Nothing while IniSavingEnabled is off. A form without a name is reported
// ("Нет имени формы:") and nothing is written.
void SaveFormPosition(QWidget* form);
// A missing key keeps the form's own value; a section without a place
// leaves the window where it is. Answers whether a place was stored.
bool RestoreFormPosition(QWidget* form);

// The save covers the windows shown during the run (those of ProgramForms()
// first, data/ui/FormRegistry.h), a window never shown keeps its section as
// it was; the restore applies the fonts, then goes over ProgramForms() last
// to first.
void SaveFormPlacements();
void RestoreFormPlacements();

// Whether the window takes part in the program's fonts and placements: a
// named top-level form, not the message box, the splash, the developer's
// stop window or the report base form.
bool IsProgramWindow(const QWidget* w);
void InstallWindowPlacement();
void RemoveWindowPlacement();

// The first place of a window without a stored one, in the screen's free
// area `available` (with room for the window's frame): at least its size
// hint, the main window at least 1024 x 700
// (maximize is set when the screen has no room for that); centred on
// `owner` (on the screen when it is empty), and whole inside `available`.
QRect FirstPlacement(QRect current, QSize hint, bool mainWindow, QRect owner, QRect available, bool& maximize);
// A stored place moved, and shrunk when need be, so that the window with
// its frame lies inside `available`.
QRect FitOnScreen(QRect place, QRect available);
