#pragma once
// What every stage of the predecessor's import shares: the stage shown,
// the progress, the stop request, the error list and the counters.

#include "archive/ImportErrors.h"
#include "foundation/ClMem.h"

#include <QString>

#include <functional>

class Cursor;
class Exception;
class Variant;

class TImportRun {
public:
    // The window (or a test) listens here; all optional.
    std::function<void(const QString&)> OnStage;
    std::function<void(int)> OnProgress; // 0..100
    // Lets pending events through, so a stop can be asked for.
    std::function<void()> OnIdle;

    void BeginStage(const QString& name);
    // count x 100 / total, rounded and held within 0..100.
    void Step(int count, int total);
    bool Stopped() const { return stopRequested_; }
    void RequestStop() { stopRequested_ = true; }
    void ResetStop() { stopRequested_ = false; }

    void Error(const QString& line) { errors_.Add(line); }
    // A counter that stays 0 is never stored.
    void Count(const QString& name, int add = 1);
    int Counter(const QString& name) const;

    TImportErrorList& Errors() { return errors_; }
    TClipperMemVarList& Counters() { return counters_; }

private:
    TImportErrorList errors_;
    TClipperMemVarList counters_;
    bool stopRequested_ = false;
};

// Appends one row filled by `fill`; a failure cancels it, adds the table's
// name, a line break and the message to the error list, counts it under
// `counter` and answers false.
bool AppendImportRow(Cursor& table, TImportRun& run, const QString& counter, const std::function<void()>& fill);
void ImportRowFailed(Cursor& table, const Exception& e, TImportRun& run, const QString& counter);
void SetField(Cursor& table, const char* name, const Variant& value);

// The heading of an error line in the clerk's words: what a catalogue
// table holds ("Карточки работников"), any other text as it is.
QString ImportHeading(const QString& table);
// What a counter of the list counts, in the clerk's words.
QString ImportCounterCaption(const QString& name);
