#include "data/AppContext.h"

#include "data/DatModl.h"
#include "data/Podr.h"
#include "data/UserFormulas.h"

#include <memory>

namespace {

std::unique_ptr<T_PNList> g_pnList;
std::unique_ptr<T_UserFormulaList> g_userFormulas;
bool g_running = false;
TAppContext g_context;

TDomainListHooks DepartmentHooks()
{
    TDomainListHooks hooks;
    hooks.Create = [] { g_pnList = std::make_unique<T_PNList>(); };
    hooks.Load = [] {
        if (g_pnList)
            g_pnList->Reload();
    };
    hooks.MarkForReload = [] {
        if (g_pnList)
            g_pnList->SetLoaded(false);
    };
    hooks.Destroy = [] { g_pnList.reset(); };
    return hooks;
}

TDomainListHooks UserFormulaHooks()
{
    TDomainListHooks hooks;
    hooks.Create = [] { g_userFormulas = std::make_unique<T_UserFormulaList>(); };
    hooks.Load = [] {
        if (g_userFormulas)
            g_userFormulas->Reload();
    };
    hooks.MarkForReload = [] {
        if (g_userFormulas)
            g_userFormulas->SetLoaded(false);
    };
    hooks.Destroy = [] { g_userFormulas.reset(); };
    return hooks;
}

} // namespace

void InitAppContext()
{
    SetDomainListHooks(TDomainList::Departments, DepartmentHooks());
    SetDomainListHooks(TDomainList::UserFormulas, UserFormulaHooks());
}

void DoneAppContext()
{
    SetDomainListHooks(TDomainList::Departments, {});
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
