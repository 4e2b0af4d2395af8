#pragma once
// The data base set-up: the data folder found through the alias "Qor" of
// the program INI, the lock on the data folder that tells running copies
// apart from exclusive work, and the start-up step that compares the data
// base's version with the program's, creates the missing tables and
// rebuilds those whose layout differs from the catalogue.
//
// data/Startup runs InitDBSetup() after InitGlobals() (it takes the shared
// lock at once, so that every copy holds it from its first moment), then
// OpenDataBase(); shutdown runs DoneDBSetup() before DoneGlobals(). What
// they find (folder, INI, lock) goes into the record (data/AppContext.h).

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class Cursor;
class IProgress;
class TTableStructure;
struct TableDef;

// The data version of this program, kept as "Version" in the data INI.
constexpr qint32 ProgramDataVersion = 10001;

// How long the first shared lock waits for another copy to let go.
constexpr uint32_t FirstLockWaitMs = 20000;

// ---------------------------------------------------------------- the alias

// "Qor": the section of the program INI that holds the data folder (PATH)
// and the driver (DRIVER).
QString DataAliasName();
// "STANDARD".
QString DataAliasDriver();

// The data folder with a trailing "/", from the alias. A missing alias is
// created on the program folder + "DB/" (with a warning); an alias of
// another driver is offered for replacement or ends the program. The
// folder is created when missing; the data INI and the table layer are
// pointed at it. Cached after the first call.
QString GetDataPath();
// The data folder lies on a network file system (copies share the lock).
bool DataPathIsNetwork();
// Writes the alias with that folder and the program's driver; the program
// INI is written at once, whatever IniSavingEnabled says.
void WriteDataAlias(const QString& path);
void DeleteDataAlias();
// Forgets the cached data folder, so the next GetDataPath reads the alias.
void ForgetDataPath();

// ---------------------------------------------------------------- the lock

// Takes the lock file "~~Shared.tmp" of the data folder in that mode; a
// change of mode happens in place, so a refused exclusive request keeps
// the shared lock. On a local folder both modes keep other copies out.
bool LockDataBase(bool exclusive);
// The first call tries for FirstLockWaitMs (the progress window from the
// second try on) and ends the program with a message when another copy
// keeps the folder; a stop in the window ends the wait and the start at
// once with the silent abort. A later call that cannot get the shared lock back
// also ends the program with a message: no copy works unlocked.
bool LockDataBaseShared();
// False when refused (another copy works on the folder) or on any failure.
bool LockDataBaseExclusive();
// The system's text of the last refusal.
QString LockDataBaseError();
// True until the first shared lock was taken.
bool FirstConnection();

// ---------------------------------------------------------------- opening

// Runs when the clerk asks for a reserve copy before the upgrade; empty
// until the reserve copy exists (the question is then not asked).
void SetReserveCopyHook(std::function<void()> hook);
// The start-up step: the version check and the layouts the table files
// record; when the version or a layout differs (or a rebuild or a creation
// was broken off by a crash), the upgrade with CheckDataBase under the
// exclusive lock; then the shared lock and the amount-in-words table
// copied into a data folder that lacks it. IniSavingEnabled is on
// afterwards. A newer data base, a refusal or a failed lock end the
// program (ProgramExit); a broken-off upgrade, and a table file holding
// another catalogue table (shown first), end it with the silent abort.
void OpenDataBase();

// Creates the missing tables (new data bases get the default posts,
// categories and pay systems) and rebuilds those whose layout differs from
// the catalogue. A table left as "TMP" by an interrupted rebuild is first
// put back under its name. True when everything ran to the end.
bool CheckDataBase();

// The version as text: 10001 gives "1.00" ("1.00.01" in debug mode). A
// non-zero argument formats the program's version, zero the data base's
// (Cfg.Version).
QString FormatVersion(int programVersion);
QString VersionText(qint32 version);

// ---------------------------------------------------------------- the rebuild

// The file's layout is the catalogue's: the same indexes in order (name,
// fields, options), then the same fields in order (names ignoring case,
// sizes except BLOBs, required flags, types; DateTime stands for Date).
bool TableMatchesCatalogue(const TableDef& actual, const TableDef& wanted);

enum class TRebuildResult { Unchanged, Rebuilt, BrokenOff };

// Rebuilds one table when its layout differs: the old file becomes "TMP",
// a new one is made from the catalogue and every row is copied with the
// value conversions; fields that cannot be converted are counted and
// shown. Broken off (a stop, "Выйти", "Прекратить", any failure), the old
// table is put back under its name. A file that holds another catalogue
// table (made under its name, or with its layout) is shown and left as it
// is: its rows belong elsewhere.
TRebuildResult RestructureTable(const TTableStructure& table, IProgress& bar);

// The name of the table an interrupted rebuild renamed to "TMP" is kept
// in this file of the data folder until the rebuild is over.
QString RebuildMarkerName();
// The temporary name of a table while it is rebuilt.
QString RebuildTableName();
// The tables being created are listed in this file of the data folder until
// they hold their default rows; while it is there, the next start runs the
// check, which makes again the files left unreadable and fills the listed
// tables that are still empty.
QString CreationMarkerName();

// ---------------------------------------------------------------- catalogue tables

// Frees the table in the variable, makes a cursor on catalogue table N and
// opens it (exclusive when asked); true when open. An unknown number shows
// "Нет описания структуры: N" and answers false.
bool OpenTableByNumber(int number, std::unique_ptr<Cursor>& table, bool exclusive = false);
// The same cursor, not opened; nullptr for an unknown number.
std::unique_ptr<Cursor> NewCatalogTable(int number);

// ---------------------------------------------------------------- start-up

// Reads "NetWorkCFG", finds the data folder (opening its INI), makes the
// catalogue and takes the first shared lock.
void InitDBSetup();
// Writes "NetWorkCFG" back, lets the lock go, closes the data INI.
void DoneDBSetup();
