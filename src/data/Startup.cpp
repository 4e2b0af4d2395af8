#include "data/Startup.h"

#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "foundation/IniPersist.h"

namespace {

// How far the record is filled, and which of those steps really ran.
TStartStep g_done = TStartStep::None;
unsigned g_ran = 0;

unsigned Bit(TStartStep step) { return 1u << int(step); }

TStartStep Next(TStartStep step) { return TStartStep(int(step) + 1); }
TStartStep Prior(TStartStep step) { return TStartStep(int(step) - 1); }

void Run(TStartStep step)
{
    switch (step) {
    case TStartStep::None: break;
    case TStartStep::Globals: InitGlobals(); break;
    case TStartStep::Lists: InitAppContext(); break;
    case TStartStep::DataFolder: InitDBSetup(); break;
    case TStartStep::Settings:
        ReloadUserSettings();
        LoadDataConfiguration();
        ReadErrorsSection();
        break;
    case TStartStep::DataBase: OpenDataBase(); break;
    case TStartStep::DataModule: CreateDataModule(); break;
    }
}

void Undo(TStartStep step)
{
    switch (step) {
    case TStartStep::None: break;
    case TStartStep::Globals:
        DoneGlobals();
        CloseProgramIni();
        break;
    case TStartStep::Lists: DoneAppContext(); break;
    case TStartStep::DataFolder: {
        DoneDBSetup();
        // The numbers of one data base mean nothing in the next.
        TAppContext& record = AppContext();
        record.LastTabNum = 0;
        record.LastDopNum = 0;
        record.FormulaError = TFormulaError();
        break;
    }
    case TStartStep::Settings: {
        // The next data folder starts from the defaults, not from this one's values.
        TAppContext& record = AppContext();
        SetCfgDefaults(record.Cfg);
        record.CfgLoaded = record.Cfg;
        record.CurrentUser = 0;
        break;
    }
    case TStartStep::DataBase: break;
    case TStartStep::DataModule: DestroyDataModule(); break;
    }
}

} // namespace

void StartUp(TStartStep last, TStartStep skip)
{
    while (g_done < last) {
        const TStartStep step = Next(g_done);
        if (step != skip) {
            Run(step);
            g_ran |= Bit(step);
        }
        g_done = step;
    }
}

void ShutDown(TStartStep keep)
{
    while (g_done > keep) {
        const TStartStep step = g_done;
        g_done = Prior(step);
        if (!(g_ran & Bit(step)))
            continue;
        g_ran &= ~Bit(step);
        try {
            Undo(step);
        } catch (...) {
            // Shutdown goes on: what is left is freed by the next step.
        }
    }
}

TStartStep StartedUpTo() { return g_done; }
