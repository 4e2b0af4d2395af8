#pragma once
// Saving the data base into an archive and restoring it, the reserve copy
// and the compression of the tables. One object for the whole run: the
// save dialog fills it from its settings before every operation.
//
// Every operation closes all data sets first and needs the data base for
// itself alone (the exclusive lock); afterwards the data sets open again as
// they were, and the lock is given back in the mode the caller held. A
// restore replaces nothing before every file it brings was unpacked without
// error and found readable, and a restore that fails midway puts the old
// files back.

#include "platform/DateTime.h"

#include <QString>
#include <QStringList>

class QIODevice;

#include <functional>
#include <memory>

class Cursor;
class Tyq_Launcher;

// "ARC.INC": the list of the archived files, one full path per line, in
// UTF-8 with LF line ends because the archiver reads the names from it.
QString ArcIncName();
// The file names an ARC.INC lists (a path from another system may use
// "\"); never empty, never "." or "..". A missing file lists nothing.
QStringList ReadArcInc(const QString& file);
// "ARC~HIVE.INI": when the save was made and whether it ended well.
QString ArcHiveIniName();

struct TArcHiveInfo {
    TDateTime CurrentDate = 0;
    QString CurrentTime;
    TDateTime DataDate = 0;
    bool SuccsessOperation = false;
};
// Reads the folder's ARC~HIVE.INI straight from the disk; a missing or
// damaged file reads as an unsuccessful save.
TArcHiveInfo ReadArcHiveIni(const QString& folder);
void WriteArcHiveIni(const QString& folder, const TArcHiveInfo& info);

// The folder holds a reserve copy (its list ARC.INC).
bool HasReserveCopy(const QString& folder);

// What is wrong with an arj archive's volume, in the clerk's words (cut
// short, no header where one belongs); empty when its headers and packed
// data lie whole within it, or when it is no arj archive at all.
QString ArjVolumeDamage(QIODevice& file);
QString ArjVolumeDamage(const QString& path);

// "b:" or "A:/..." name a floppy drive; another path does not.
bool IsFloppyPath(const QString& path);
// The path is the folder itself or lies inside it (real paths compared).
bool PathInsideFolder(const QString& path, const QString& folder);

class TSaveRestObject {
public:
    TSaveRestObject();
    ~TSaveRestObject();

    bool CopyBase = true;
    bool Batch = false;
    bool ShowBars = false;
    bool DelTmp = false;
    bool DelArc = false;
    // The data folder's INI files and the amount-in-words table.
    QStringList ExtraFiles;
    TDateTime CurrentDate = 0;
    TDateTime CurrentTime = 0;
    bool SuccsessOperation = false;
    // Empty: the data folder, the TMP folder and TMP + "SAVE/".
    QString DataPath;
    QString TmpPath;
    QString WorkPath;
    // Where a save goes and a restore comes from: a folder or "A:"/"B:".
    QString CopyPath;
    QString ArchiverParams = QStringLiteral("a Qor_arj !ARC.INC -v1440 -y");
    QString DeArchiverParams = QStringLiteral("e Qor_arj -va -y");
    QString ArcMask = QStringLiteral("*.A*");
    bool Archivate = false;
    // A relative path lies under the program folder.
    QString ReservPath = QStringLiteral("RESERV");
    TDateTime DataDate = 0;

    // An empty program switches the archiver run off.
    void SetArchiver(const QString& program);
    const QString& Archiver() const { return archiver_; }
    void SetDeArchiver(const QString& program);
    const QString& DeArchiver() const { return deArchiver_; }

    // True when the save ended well (and was copied, when a copy path is given).
    bool Save();
    // True when the data folder holds the restored files.
    bool Restore();
    bool ReserveSave();
    bool ReserveRestore();
    bool Compress();

    // Appends every row of Source to Target by field position; a first
    // AutoInc field of Target numbers itself.
    void CopyTableFields(Cursor& source, Cursor& target, bool showRecords);
    void CopyArchiveToFloppies();

    // The folders the operations use, with a trailing "/".
    QString DataFolderPath() const;
    QString TmpFolderPath() const;
    QString WorkFolderPath() const;
    QString ReservFolderPath() const;

    // Restores (and reserve restores) that replaced the data base so far.
    int Restores() const { return restores_; }

    // Makes the archiver's launcher; tests put their own in.
    std::function<std::unique_ptr<Tyq_Launcher>()> NewLauncher;

private:
    class Operation;
    bool DoSave();
    bool DoRestore();
    bool GatherVolumes(const QString& work);
    bool GatherFromFloppies(const QString& work);
    bool RunArchiver(const QString& program, const QString& params, const QString& startDir);
    void CopyTable(int number, const QString& folder, bool showRecords);
    bool CopyToDestination(const QStringList& files, bool floppy);
    // Finishes (or discards) the swap of a save cut short in the archive
    // folder; false, after a message, when it cannot.
    bool FinishArchiveSwap(const QString& folder);
    void ReplaceTables(const QStringList& files, bool move);
    bool DoReserveSave();
    bool DoReserveRestore();
    bool DoCompress();
    bool Stopped() const;

    QString archiver_ = QStringLiteral("arj");
    QString deArchiver_ = QStringLiteral("arj");
    bool busy_ = false;
    int restores_ = 0;
};

// The program's one object.
TSaveRestObject& SaveRestObject();
