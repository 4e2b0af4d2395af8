#pragma once
// The whole program as main() runs it: the units of the layers above the
// data layer and the windows they bring are added to the program block
// (data/ui/Program.h), which then runs. Tests call it as main() does.

// Answers the exit code; a QApplication must exist.
int QorMain();

// The windows of the layers above the data layer, by component name
// (RegisterForm, data/ui/FormRegistry.h). A window written later is added
// here; until then start-up makes its placeholder.
void RegisterProgramForms();
