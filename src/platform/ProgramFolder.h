#pragma once
// The program folder seam. The program folder is the executable's folder
// when it is writable, otherwise $XDG_DATA_HOME/qor. Paths end with "/".

#include <QString>

// The program folder with a trailing "/".
QString ProgramFolder();
// Tests and tools point the program at a folder of their own; an empty text
// restores the default.
void SetProgramFolder(const QString& folder);
// The program file's name without folder or extension: "qor".
QString ProgramName();
// The executable's full path.
QString ProgramFilePath();
