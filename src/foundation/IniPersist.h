#pragma once
// Program variables bound to INI keys.

// False until start-up has completed and again after a fatal error while
// terminating; the writing routines do nothing while it is False.
extern bool IniSavingEnabled;
