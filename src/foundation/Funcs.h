#pragma once
// The general routines of the program in one include.

#include "foundation/StrFuncs.h"
