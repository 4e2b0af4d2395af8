#include "calc/CalcContext.h"

#include "calc/PN.h"
#include "data/AppContext.h"

void InitCalc() { SetDomainListHooks(TDomainList::IncomeTax, OwnedListHooks<T_PxList>(AppContext().IncomeTax)); }

void DoneCalc()
{
    SetDomainListHooks(TDomainList::IncomeTax, {});
    AppContext().IncomeTax.Reset();
}
