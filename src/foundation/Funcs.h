#pragma once
// The general routines of the program in one include.

#include "foundation/ClassFuncs.h"
#include "foundation/DateFuncs.h"
#include "foundation/FileFuncs.h"
#include "foundation/StrFuncs.h"
#include "foundation/SysFuncs.h"
#include "foundation/TextMeasure.h"
#include "foundation/VarFuncs.h"
