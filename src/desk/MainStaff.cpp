#include "desk/Main.h"

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Podr.h"
#include "data/Rights.h"
#include "data/Tabn.h"
#include "data/ui/SrSelect.h"
#include "desk/MainOpeners.h"
#include "desk/PodrBook.h"
#include "foundation/Messages.h"
#include "platform/SysUtils.h"

namespace {

// A department an employee can work in: known, not closed, no enterprise
// row and no dismissed group.
bool IsOpenPodr(qint32 num)
{
    const T_Podr* podr = PNList() ? PNList()->FindPodr(num) : nullptr;
    return podr && !podr->Deleted && !podr->IsEnterprise() && !podr->IsDismissedGroup();
}

} // namespace

// ---------------------------------------------------------------- staff

void TFormMain::StaffOperation(int op)
{
    RequireOperation(quint8(op));
    RequireTabn();
    bool found = false;
    auto card = T_Tabn::CreateByTabNum(curTabn_, found);
    if (!found)
        ErrorAbort(Format(QStringLiteral("Табельный номер №%s в справочнике не найден"), curTabn_));
    const QString body = card->GetNumberText() + QStringLiteral("  ") + card->Fio;
    bool deleted = false;
    switch (op) {
    case 11:
        if (card->Dismissed)
            ErrorAbort(QStringLiteral("Уже уволен"));
        if (!AskYesNo(QStringLiteral("Уволить работника"), body, true))
            return;
        card->Dismissed = true;
        break;
    case 12: {
        if (!card->Dismissed)
            ErrorAbort(QStringLiteral("Не уволен"));
        // A department closed or gone since would show him in no tree.
        qint32 podr = card->Podr;
        if (!IsOpenPodr(podr)) {
            podr = SelectPodr(0,
                Format(QStringLiteral("Подразделения №%d больше нет. Выберите подразделение для работника\r\n"), podr)
                    + card->GetFio());
            if (podr <= 0)
                return;
            if (!IsOpenPodr(podr))
                ErrorAbort(Format(QStringLiteral("Подразделения №%d больше нет"), podr));
        }
        if (!AskYesNo(QStringLiteral("Восстановить работника в подразделение №") + QString::number(podr), body, true))
            return;
        card->Podr = podr;
        card->Dismissed = false;
        break;
    }
    case 13: {
        if (!card->Dismissed)
            ErrorAbort(QStringLiteral("Невозможно удаление неуволенного работника"));
        if (!ConfirmDelete(QString(), card->Fio))
            return;
        bool full = false;
        auto x = T_xTabn::CreateByTabNum(DNList(), curTabn_, full);
        if (full)
            x->DeleteFromBase();
        deleted = true;
        break;
    }
    default: ErrorAbort(QStringLiteral("Неизвестная операция"));
    }
    if (!deleted)
        card->Save();
    cards_->Reload();
}

void TFormMain::NewTabn()
{
    RequireOperation(10);
    const qint32 hired = NewTabnWizard() ? NewTabnWizard()(curPodr_) : 0;
    cards_->Reload();
    // The new employee is shown at once, in his department.
    if (hired > 0)
        LocateTabn(hired);
}

void TFormMain::TransferTabn()
{
    RequireTabn();
    const T_Tabn* card = SelectedCard();
    const qint32 podr = SelectPodr(curPodr_,
        QStringLiteral("Выберите новое подразделение для работника\r\n") + (card ? card->GetFio() : QString()));
    if (podr <= 0)
        return;
    bool found = false;
    auto x = T_xTabn::CreateByTabNum(DNList(), curTabn_, found);
    if (!found)
        ErrorAbort(Format(QStringLiteral("Табельный номер №%s в справочнике не найден"), curTabn_));
    x->Podr = podr;
    x->Save();
    const qint32 tabNum = curTabn_;
    cards_->Reload();
    LocateTabn(tabNum);
}

void TFormMain::ReorderTabn()
{
    RequireTabn();
    pageSwitchLock_ = 4;
    struct Unlock {
        int& lock;
        ~Unlock() { lock = 0; }
    } unlock{pageSwitchLock_};
    const qint32 other
        = SelectTabn(curPodr_, curTabn_, QStringLiteral("Выберите номер, перед которым будет стоять текущий"));
    if (other < 1)
        return;
    if (!cards_->FindTabn(other)) {
        ShowError(QStringLiteral("Нужен номер в том же подразделении"));
        return;
    }
    MoveTabnBefore(curTabn_, other);
    cards_->Reload();
}
