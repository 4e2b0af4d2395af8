#pragma once
// The state of a data folder as text, for comparing whole data bases: the
// names of its files (the lock file and ignored journals left out), then every table file's
// definition and every row in primary key order with all fields (BLOBs as
// hex, floats with every digit). A table that cannot be read shows its error.

#include <QString>

QString DumpDataFolder(const QString& folder);
