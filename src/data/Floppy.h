#pragma once
// Copies a list of files (an archive's volumes) onto one or more floppy
// disks: asks for each disk and, when it holds data, whether to clear it;
// shows the progress; compares each copy with its source when asked.

#include <QString>
#include <QStringList>

class IProgress;

// The files (names relative to `source`) go to `destination` ("A:" and
// "B:" stand for the floppy drives). Prompts go through the message
// service, the progress to `progress` (a session with two bars already
// running) or, when nullptr, to a session of its own on Progress().
// True when every file was copied (and compared) or skipped by the clerk
// ("Следующий файл", listed in `skipped`); a stop or "Прекратить" answers
// false and leaves the files copied so far. A failed copy shows its reason
// (read error, write-protected disk, disk full) before the disk prompt
// comes back; without the prompt a copy that keeps failing answers false.
bool CopyFilesToFloppies(const QStringList& files, const QString& source, const QString& destination, bool askForDisk,
    bool compare, IProgress* progress = nullptr, QStringList* skipped = nullptr);

// Whether ClearDirectory may empty the folder: never the data folder, the
// program folder, the home folder or "/".
bool MayClearFolder(const QString& folder);
