#pragma once
// The calculation's step of the start-up: its long-lived lists join the
// record of the open data base (data/AppContext.h). Call InitCalc() beside
// InitAppContext(), before the data module is made; DoneCalc() after it
// is gone.
//
//   InitCalc();
//   StartUp(TStartStep::DataModule);
//   PxList()->FindTip(1);
//   ShutDown();
//   DoneCalc();

// Registers the income-tax list (T_PxList, the record's IncomeTax slot)
// with the data module's list hooks. Calling it again changes nothing.
void InitCalc();
// Removes the hooks and frees the list if it is still alive.
void DoneCalc();
