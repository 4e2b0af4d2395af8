#include "data/AppContext.h"

#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Podr.h"
#include "data/UserFormulas.h"

#include <memory>

namespace {

std::unique_ptr<T_PNList> g_pnList;
std::unique_ptr<T_UserFormulaList> g_userFormulas;
bool g_running = false;
TAppContext g_context;

} // namespace

void InitAppContext()
{
    InstallDNListHooks();
    SetDomainListHooks(TDomainList::Departments, OwnedListHooks(g_pnList));
    SetDomainListHooks(TDomainList::UserFormulas, OwnedListHooks(g_userFormulas));
}

void DoneAppContext()
{
    SetDomainListHooks(TDomainList::Departments, {});
    SetDomainListHooks(TDomainList::Accruals, {});
    SetDomainListHooks(TDomainList::UserFormulas, {});
    g_pnList.reset();
    g_userFormulas.reset();
    g_context = TAppContext();
}

T_PNList* PNList() { return g_pnList.get(); }
T_UserFormulaList* UserFormulaList() { return g_userFormulas.get(); }

bool ApplicationRunning() { return g_running; }
void SetApplicationRunning(bool running) { g_running = running; }

TAppContext& AppContext() { return g_context; }
