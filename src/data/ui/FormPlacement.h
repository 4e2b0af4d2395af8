#pragma once
// Every window's place, size, state and inner layout in the program INI:
// the section "<form name>Position" with Left, Top, Width, Height,
// WindowState, BorderStyle and Visible, and beside them the splitters'
// sizes and the headers' column widths as texts of four-digit numbers
// ("Splitter.<name>", "Header.<name>").

class QWidget;

// Nothing while IniSavingEnabled is off. A form without a name is reported
// ("Нет имени формы:") and nothing is written.
void SaveFormPosition(QWidget* form);
// A missing key keeps the form's own value.
void RestoreFormPosition(QWidget* form);

// Over the program's forms (ProgramForms(), data/ui/FormRegistry.h): the
// save first to last; the restore applies the fonts, then goes last to first.
void SaveFormPlacements();
void RestoreFormPlacements();
