#include "foundation/IniPersist.h"

bool IniSavingEnabled = false;
