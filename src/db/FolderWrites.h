#pragma once
// A folder that stops taking writes (made read-only, removed, or its disk
// full) while the program runs. The table layer raises EFolderNotWritable at
// the first write the folder refuses, with one message naming the folder,
// the reason and what to do; a run over many rows stops at it instead of
// failing row by row.

#include "platform/Exceptions.h"

#include <QString>

QOR_DECLARE_EXCEPTION(EFolderNotWritable, EAppException)

// The message of EFolderNotWritable: "title|details".
QString FolderNotWritableText(const QString& folder, const QString& reason, const QString& whatToDo);

// Why nothing can be written into the folder now (removed, read-only), in
// Russian; empty when it takes writes as far as can be told.
QString WhyFolderRefusesWrites(const QString& folder);

// A test seam at the operating system's edge: from now on the journal and
// new files in that folder cannot be made, as in a read-only folder
// (full = false) or on a full disk. An empty folder lifts it.
void RefuseWritesInFolder(const QString& folder, bool full = false);
