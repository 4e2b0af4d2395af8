#pragma once
// The import of the DOS predecessor's data, without a window: every table
// it fills is refilled stage by stage from the old dBASE tables and memory
// files of the source folder, under the exclusive lock, with the program's
// data sets closed meanwhile and opened again on every way out. The stages
// work on a copy of the data base that replaces it in one swap at the end;
// each stage writes its tables in one transaction, so a stage that fails
// leaves them as they were; row errors go to the numbered error lists.
//
//   TImportData import;
//   import.PathFrom = "/old/QO/";
//   import.Run().OnStage = [](const QString& s) { ... };
//   if (import.Execute()) ...            // "Импорт закончен"

#include "archive/ImportRun.h"
#include "foundation/ClMem.h"
#include "platform/DateTime.h"

#include <QString>
#include <QStringList>

#include <functional>

class Cursor;
class TDbfFile;

class TImportData {
public:
    TImportData();

    // The source folder; the target is always the open data folder.
    QString PathFrom;
    // Remembered for the next import only.
    QString PathTo;
    // Where the error lists go; the program folder unless set.
    QString ErrorFolder;

    TImportRun& Run() { return run_; }
    TClipperMemVarList& Config() { return config_; }
    TClipperMemVarList& Prof() { return prof_; }
    TClipperMemVarList& Deductions() { return deductions_; }

    // The threshold, tax and percent of line `line` of scale `scale` from
    // the loaded QO.POD and QO.PON. The old files' layout of these arrays
    // is not known from real files: the default reads the text variables
    // "PN_ARR" + scale + column as blank-separated numbers, one a line.
    // False (and an error line) for a value of any other shape.
    using TTaxLineReader = std::function<bool(const TClipperMemVarList& values, int scale, int line, double& threshold,
        double& tax, double& percent, QString& error)>;
    TTaxLineReader ReadTaxLine;

    // Shows the error list (ImportEr.000) before the import says it ended;
    // the window opens it in the text viewer.
    std::function<void(const QString& file)> ShowErrorList;

    // The section "Import" of the program INI.
    void LoadPaths();
    void SavePaths();

    // The whole import; true when it ran to its end (not stopped, not
    // failed). Refused, with nothing touched, unless the source folder
    // holds the predecessor's QO.CFG and SR.DBF and every old table it
    // reads opens whole, and, over a data base with employees,
    // unless the clerk agrees to replace it. The stages fill a copy of the
    // data base that replaces it in one swap at the end (a stop keeps what
    // was done, a failure nothing). Raises nothing but the silent abort
    // after a shown message.
    bool Execute();
    // Only the pay sheets of QO.RAS, after a Yes; refused without QO.RAS
    // or without a column in it, as every stored pay sheet is replaced.
    bool LocalImport();
    bool Running() const { return running_; }
    bool Completed() const { return completed_; }
    // Asks whether to stop; Yes sets the stop flag.
    bool AskStop();
    // ImportEr.000 of the last import when it holds anything, else empty
    // (also after a refusal: the file is an older import's).
    QString ErrorListToShow() const;

private:
    bool CheckSource();
    // The old tables the stages read: the named ones found and the months' results.
    QStringList SourceTables() const;
    // Over a data base that holds employees, the clerk's Yes (default No).
    bool AgreesToReplace();
    // Copies the tables and the data INI into the staging folder of the
    // data folder, answered with a trailing "/".
    QString StageDataBase(const QString& data);
    void Stages();
    void ConfigStage();
    void DepartmentsStage();
    void DeductionsStage();
    void IncomeTaxStage();
    void KindsStage();
    void UserFormulasStage();
    void CardsStage();
    void InputStage(const QString& fileName, const QString& table, bool archive);
    void ResultsStage();
    void ResultFile(const QString& path, const QString& table, TDateTime month);
    // Every record of source whose employee (COD and tabField) is found
    // among the imported cards goes to row with its personnel number; the
    // others count as counter + "_NotFound". A failed row is listed.
    void EmployeeRows(TDbfFile& source, Cursor& target, const QString& tabField, const QString& counter,
        const std::function<void(int tabNum)>& row);
    void CalendarsStage();
    void PaySheetStage();

    QString Source(const QString& name) const;
    bool LoadMem(const QString& name, TClipperMemVarList& list);

    TImportRun run_;
    TClipperMemVarList config_;
    TClipperMemVarList prof_;
    TClipperMemVarList deductions_;
    TDateTime workdate_ = 0;
    bool running_ = false;
    bool completed_ = false;
    bool listed_ = false;
};

// The pay sheets belong to the report layer, a sibling of this one, so the
// program hands their stage in: it replaces every stored pay sheet by the
// one of QO.RAS and answers false when nothing was written.
using TPaySheetImporter
    = std::function<bool(const TClipperMemVarList& ras, const std::function<void(const QString&)>& error)>;
void SetPaySheetImporter(TPaySheetImporter importer);

// The default reading of the scale lines (see ReadTaxLine); unverified
// against real files.
bool ReadTaxLineAsText(const TClipperMemVarList& values, int scale, int line, double& threshold, double& tax,
    double& percent, QString& error);
