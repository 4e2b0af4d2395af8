#pragma once
// The data layer's start-up: fills the record of the open data base
// (data/AppContext.h) step by step in this order, and empties it in
// reverse. main() and the test fixtures both go through here.
//
//   StartUp(TStartStep::DataModule);     // every step up to the data module
//   ShutDown(TStartStep::Lists);         // back to the lists' hooks
//   ShutDown();                          // everything, in reverse
//
// The steps (undo in brackets):
//   Globals     InitGlobals: start date, work folders, settings defaults
//               (DoneGlobals, CloseProgramIni)
//   Lists       InitAppContext: the domain lists' hooks (DoneAppContext)
//   DataFolder  InitDBSetup: "NetWorkCFG", the data folder and its INI, the
//               catalogue, the first shared lock, a killed restore or
//               period close finished (DoneDBSetup; the current numbers and
//               the formula error cleared)
//   Settings    the user's and the data folder's settings, the run state
//               (the settings back at their defaults)
//   DataBase    OpenDataBase: the version check and upgrade (nothing)
//   DataModule  CreateDataModule: the tables opened, the lists made and
//               loaded (DestroyDataModule)

enum class TStartStep { None, Globals, Lists, DataFolder, Settings, DataBase, DataModule };

// Runs the steps after the last one done, up to and including `last`. A
// step that raises is not counted as done; the ones before it stay. The
// step `skip` is passed over (and not undone): tests of the data module
// itself run it without the domain lists.
void StartUp(TStartStep last, TStartStep skip = TStartStep::None);
// Undoes the steps after `keep`, the last one first. Never throws.
void ShutDown(TStartStep keep = TStartStep::None);
// The last step done.
TStartStep StartedUpTo();
