#pragma once
// The program-wide domain objects that outlive every window: the department
// list and the user formulas (made, loaded and freed by the data module
// through its list hooks), the current numbers the windows pass to each
// other, and the last formula error of a calculation.
//
//   InitAppContext();          // at start-up, before CreateDataModule
//   CreateDataModule();        // makes and loads the lists
//   PNList()->FindPodr(7);
//   DestroyDataModule();       // frees them
//   DoneAppContext();

#include <QString>
#include <QtGlobal>

class T_PNList;
class T_UserFormulaList;

// Registers the lists with the data module's hooks (create, load, mark for
// reload, destroy). Calling it again changes nothing.
void InitAppContext();
// Frees the lists still alive and removes the hooks.
void DoneAppContext();

// nullptr while the data module does not exist (or InitAppContext was not called).
T_PNList* PNList();
T_UserFormulaList* UserFormulaList();

// Change notifications of the domain lists go out only while the
// application runs: not during start-up, not while it shuts down. main()
// sets it around the event loop; tests set it with ScopedApplicationRunning.
bool ApplicationRunning();
void SetApplicationRunning(bool running);

class ScopedApplicationRunning {
public:
    explicit ScopedApplicationRunning(bool running = true) : old_(ApplicationRunning())
    {
        SetApplicationRunning(running);
    }
    ~ScopedApplicationRunning() { SetApplicationRunning(old_); }
    ScopedApplicationRunning(const ScopedApplicationRunning&) = delete;
    ScopedApplicationRunning& operator=(const ScopedApplicationRunning&) = delete;

private:
    bool old_;
};

// The last formula error of a calculation, shown by the main window in the
// formula editor. DopNum -1 means none.
struct TFormulaError {
    qint32 DopNum = -1;
    int Line = 0; // 0-based
    int Col = 1; // 1-based
    QString Message;
};

// What the windows hand to each other.
struct TAppContext {
    qint32 LastTabNum = 0; // the last selected personnel number
    qint32 LastDopNum = 0; // the last selected accrual number
    TFormulaError FormulaError;
};
TAppContext& AppContext();
