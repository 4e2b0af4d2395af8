#pragma once
// The settings record of the program and its two INI files, the work
// folders and the few process-wide objects that start-up creates first.
//
// The data INI ("qor.ini" in the data folder) is shared by every copy that
// works on the same data; the program INI (beside the program) belongs to
// the workstation. Both are named after the program file.

#include "foundation/IniPersist.h"
#include "platform/DateTime.h"
#include "platform/Variant.h"

#include <QList>
#include <QString>
#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <variant>

class QObject;
class TMemIniFile;
class TIniFile;
class T_yqFileList;

// Zero-filled as constructed; SetCfgDefaults gives the defaults.
struct Tcfg {
    qint32 Version = 0;
    TDateTime LastDate = 0; // date of the last start
    TDateTime BegPeriod = 0;
    TDateTime EndPeriod = 0;
    TDateTime BegDate = 0; // the data base keeps data from this date on
    TDateTime Workdate = 0; // its month is the working month
    bool DopNomer = false;
    bool TabNomer = false;
    qint32 TNPosition = 0; // personnel number selected in the main window at exit
    qint32 DNPosition = 0; // accrual kind selected in the accrual book at exit
    QString NaimGlBuh;
    QString NaimDirector;
    qint32 TabnGlBuh = 0;
    qint32 TabnDirector = 0;
    qint32 NumYears = 0;
    qint32 NumFullYears = 0;
    bool AutoCalc = false;
    bool CalcCompare = false;
    qint32 DecimalPos = 0;
    bool PNInt = false;
    bool PNReleased = false;
    bool Round = false;
    bool RoundB = false;
    double RoundS = 0; // the rounding step, in money units
    qint32 MinUderNum = 0;
    qint32 PremDopTabl = 0;
    qint32 PremDop = 0;
    qint32 FioVid = 0;
    qint32 NamePodrVid = 0;
    qint32 NameDopVid = 0;
    qint32 ScaleBy = 0;
    QString Rub;
    QString Kop;
    QString CurrencyDivider;
    qint32 Error = 0; // the run state
    QString Password;
    bool PassCheck = false;
};

// The record's settings (AppContext().Cfg), under the name the units use.
extern Tcfg& Cfg;

// Every field at its default; the dates from StartDate.
void SetCfgDefaults(Tcfg& cfg);

// ---------------------------------------------------------------- descriptor lists

// One setting: its key, its type letter and its field in Tcfg. Bound to a
// record, a list becomes the VarDesc table of the INI persistence.
struct CfgFieldDesc {
    const char* Name;
    char Kind;
    std::variant<bool Tcfg::*, QString Tcfg::*, qint32 Tcfg::*, double Tcfg::*> Field;
};

constexpr bool CfgFieldValid(const CfgFieldDesc& d)
{
    if (!d.Name || !d.Name[0])
        return false;
    switch (d.Kind) {
    case 'B': return std::holds_alternative<bool Tcfg::*>(d.Field);
    case 'C':
    case 'S': return std::holds_alternative<QString Tcfg::*>(d.Field);
    case 'I': return std::holds_alternative<qint32 Tcfg::*>(d.Field);
    case 'D':
    case 'N': return std::holds_alternative<double Tcfg::*>(d.Field);
    default: return false;
    }
}

// The data INI's "Configuration", in the order it is written.
inline constexpr CfgFieldDesc CfgDataFields[] = {
    {"Version", 'I', &Tcfg::Version},
    {"BegPeriod", 'D', &Tcfg::BegPeriod},
    {"EndPeriod", 'D', &Tcfg::EndPeriod},
    {"BegDate", 'D', &Tcfg::BegDate},
    {"Workdate", 'D', &Tcfg::Workdate},
    {"NaimGlBuh", 'C', &Tcfg::NaimGlBuh},
    {"NaimDirector", 'C', &Tcfg::NaimDirector},
    {"TabnGlBuh", 'I', &Tcfg::TabnGlBuh},
    {"TabnDirector", 'I', &Tcfg::TabnDirector},
    {"MinUderNum", 'I', &Tcfg::MinUderNum},
    {"Rub", 'C', &Tcfg::Rub},
    {"Kop", 'C', &Tcfg::Kop},
    {"DecimalPos", 'I', &Tcfg::DecimalPos},
    {"NumYears", 'I', &Tcfg::NumYears},
    {"NumFullYears", 'I', &Tcfg::NumFullYears},
    {"PNInt", 'B', &Tcfg::PNInt},
    {"PNReleased", 'B', &Tcfg::PNReleased},
    {"Round", 'B', &Tcfg::Round},
    {"RoundB", 'B', &Tcfg::RoundB},
    {"RoundS", 'N', &Tcfg::RoundS},
    {"CurrencyDivider", 'C', &Tcfg::CurrencyDivider},
};

// The program INI's "Configuration".
inline constexpr CfgFieldDesc CfgProgramFields[] = {
    {"LastDate", 'D', &Tcfg::LastDate},
    {"ScaleBy", 'I', &Tcfg::ScaleBy},
};

// The program INI's section of the current user ("User0", "User1", ...).
inline constexpr CfgFieldDesc CfgUserFields[] = {
    {"TNPosition", 'I', &Tcfg::TNPosition},
    {"DNPosition", 'I', &Tcfg::DNPosition},
    {"PremDop", 'I', &Tcfg::PremDop},
    {"PremDopTabl", 'I', &Tcfg::PremDopTabl},
    {"AutoCalc", 'B', &Tcfg::AutoCalc},
    {"CalcCompare", 'B', &Tcfg::CalcCompare},
    {"DopNomer", 'B', &Tcfg::DopNomer},
    {"TabNomer", 'B', &Tcfg::TabNomer},
    {"FioVid", 'I', &Tcfg::FioVid},
    {"NamePodrVid", 'I', &Tcfg::NamePodrVid},
    {"NameDopVid", 'I', &Tcfg::NameDopVid},
    {"Password", 'C', &Tcfg::Password},
    {"PassCheck", 'B', &Tcfg::PassCheck},
};

// The program INI's "Errors": the run state.
inline constexpr CfgFieldDesc CfgErrorFields[] = {
    {"Error", 'I', &Tcfg::Error},
};

template <std::size_t N> constexpr bool CfgFieldsValid(const CfgFieldDesc (&fields)[N])
{
    for (const CfgFieldDesc& d : fields)
        if (!CfgFieldValid(d))
            return false;
    return true;
}
static_assert(CfgFieldsValid(CfgDataFields) && std::size(CfgDataFields) == 21);
static_assert(CfgFieldsValid(CfgProgramFields) && std::size(CfgProgramFields) == 2);
static_assert(CfgFieldsValid(CfgUserFields) && std::size(CfgUserFields) == 13);
static_assert(CfgFieldsValid(CfgErrorFields) && std::size(CfgErrorFields) == 1);

// The list bound to the fields of one record.
template <std::size_t N> std::array<VarDesc, N> BindCfgFields(const CfgFieldDesc (&fields)[N], Tcfg& cfg)
{
    std::array<VarDesc, N> out{};
    for (std::size_t i = 0; i < N; ++i) {
        out[i].Name = fields[i].Name;
        out[i].Kind = fields[i].Kind;
        std::visit([&](auto member) { out[i].Address = &(cfg.*member); }, fields[i].Field);
    }
    return out;
}

// ---------------------------------------------------------------- the run state

enum : qint32 {
    rsClean = 0, // the last run ended cleanly
    rsStarting = 1, // start-up has begun; each later step adds 1
    rsRunning = 100,
    rsWrongPassword = 1001, // the last start ended at a wrong password
};

// -1 adds 1 to Cfg.Error, any other value is stored. The section "Errors"
// goes to the disk at once, whatever IniSavingEnabled says: a start that
// breaks off must leave its trace for the next one.
void SetRunState(qint32 state);
void ReadErrorsSection();

// The operation that changes the data now and the state it leaves the data
// in if the program ends here ("Operation" and "OperationState" of
// "Errors", written at once with the run state); the next start tells the
// clerk. A state is always true at any instant of the operation: an
// operation moves it on only after the point it describes. A run state
// given to SetRunState (not -1) clears them.
void SetRunOperation(const QString& operation, const QString& state);
// The state of the operation running (nothing when none runs).
void SetRunOperationState(const QString& state);
// An operation for the life of the object; the one before it comes back.
class TRunOperation {
public:
    TRunOperation(const QString& operation, const QString& state);
    ~TRunOperation();
    TRunOperation(const TRunOperation&) = delete;
    TRunOperation& operator=(const TRunOperation&) = delete;

private:
    QString operation_;
    QString state_;
};
struct TInterruptedOperation {
    QString Operation; // empty: none was running
    QString State;
};
// What the program INI holds: the operation a killed run left.
TInterruptedOperation ReadRunOperation();
// Every value SetRunState stored in this process, in order (tests and the
// start-up log read it); cleared by ClearRunStateHistory.
const QList<qint32>& RunStateHistory();
void ClearRunStateHistory();

// ---------------------------------------------------------------- user settings

// The current user's number; the user's section is "User" + this number.
extern qint32& CurrentUser; // AppContext().CurrentUser
QString UserSectionName();

// The windows that know the current personnel number and accrual kind
// register here while they exist; an empty provider leaves the field alone.
void SetTNPositionProvider(std::function<qint32()> provider);
void SetDNPositionProvider(std::function<qint32()> provider);

// Program INI "Configuration" and the user's section.
void LoadUserSettings();
// The same after taking in outside changes of the program INI.
void ReloadUserSettings();
// Only while IniSavingEnabled: the windows' current numbers, then both
// sections, then the file is written.
void SaveUserSettings();

// ---------------------------------------------------------------- data configuration

// The record's data folder (with a trailing "/"), as the data base set-up
// finds it. Setting it opens the data INI there and points the table layer
// at it; an empty text closes it.
void SetDataFolder(const QString& folder);
QString DataFolder();
// The data INI; an existing "QOR.INI" or "Qor.ini" of a data folder copied
// from elsewhere is used under its own name. Raises EAppException when no
// data folder is set.
TIniFile& DataIni();

// Takes in outside changes of the file, reads the 21 entries, then moves
// BegDate back to the first day of the working month when that lies before
// it. A rounding step of 0 or less becomes 1 (reported once per run).
// `loaded` receives what the file held, for the save's comparison.
void LoadDataConfiguration(TMemIniFile& ini, Tcfg& cfg, Tcfg& loaded);
// Only while IniSavingEnabled: takes in the file's outside changes, writes
// the entries whose value differs from `loaded` and those missing in the
// file, and writes the file. Two copies on one data folder thus keep each
// other's changes. `loaded` then holds the values written.
void SaveDataConfiguration(TMemIniFile& ini, Tcfg& cfg, Tcfg& loaded);
// The same on DataIni() and Cfg.
void LoadDataConfiguration();
void SaveDataConfiguration();

// SaveUserSettings, then SaveDataConfiguration.
void SaveSettings();

// A setting by name, looked up in the data "Configuration", the program
// "Configuration" and "Errors" (not in the user's section); the Variant's
// type follows the letter. An unknown name gives the empty Variant.
Variant GetCFGVarValue(const QString& name);

// ---------------------------------------------------------------- "NetWorkCFG"

// Kept in the program INI for the data base set-up; nothing else reads them.
// The record's fields under their old names.
extern QString& LocalPath;
extern QString& NetworkPath;
extern QString& DriverLocalPath;
extern QString& DriverNetworkPath;
void ReadNetWorkCFG();
// Only while IniSavingEnabled.
void WriteNetWorkCFG();

// ---------------------------------------------------------------- process-wide values

// Today's date as read once at start-up.
extern TDateTime StartDate;
// The range the working date may be set in: the earliest of the period's
// bounds, the working date, BegDate, today and StartDate, and the latest of
// them plus ten years. Computed at the end of start-up.
extern TDateTime MinWorkDate;
extern TDateTime MaxWorkDate;
void ComputeWorkDateBounds();
// The work folder: program folder + "TMP/".
extern QString TMP;
// The text folder with the templates: program folder + "TXT/".
extern QString TxtDir;
// Copies the files of the shipped text folder that the text folder lacks
// (names compared without letter case); the clerk's own files are kept.
// InitGlobals takes them from the TXT folder beside the program file, for
// a program folder away from it (a read-only install).
void CopyShippedTexts(const QString& shippedFolder, const QString& txtFolder);
// The base name of temporary tables: TMP + "TMP".
extern QString TmpTableName;
// Owner of process-wide objects that have no window to belong to.
QObject* GlobalOwner();
// Extra files of the data folder that archive and reserve copy take along
// (its INI files and the amount-in-words table), registered at start-up.
T_yqFileList& GlobalFileList();
// Lists those files anew, as the data folder holds them now: on a first
// start the data INI is written only after start-up listed the folder.
void ReadExtraFiles();

// The program's short name and its title.
QString AppName();
QString AppTitle();

// Start-up: the start date, the owner, the work folders (created with their
// parents), the settings defaults and the file list. Shutdown frees them in
// reverse and closes the data INI.
void InitGlobals();
void DoneGlobals();
