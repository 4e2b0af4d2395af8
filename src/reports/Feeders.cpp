// The documents' handlers: how each prototype walks the employees, the
// departments or the accrual kinds, and what it adds up. The counters and
// lists are the holder's working state (FastRep.h).

#include "reports/FastRep.h"

#include "data/AppContext.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "foundation/Progress.h"
#include "platform/Exceptions.h"

namespace {

QString S(const char* text) { return QString::fromUtf8(text); }

// The summary takes every current kind of the directory, both accruals and
// deductions (a filter of 0 would admit none).
constexpr quint8 kSummaryFilter = dfAccruals | dfDeductions;

} // namespace

void TFormFastRep::EndDoc(TDocument&) { Progress().Close(); }

bool TFormFastRep::NextEmployee(bool (TFormFastRep::*keep)())
{
    for (;;) {
        ++master_;
        if (master_ >= EmployeeCount())
            return false;
        LoadEmployee(employees_[master_]);
        if (keep == nullptr || (this->*keep)())
            return true;
    }
}

// ---------------------------------------------------------------- pay slips

void TFormFastRep::RLBeginDoc(TDocument& doc)
{
    EmployeeSet();
    LoadEmployee(employees_.first());
    const QString name = doc.NameDocument();
    doc.SetNameDocument(name);
    doc.Title = TitleOf(name, EmployeeCount() == 1);
}

void TFormFastRep::RLBeginPage(TDocument&)
{
    master_ = -1;
    Progress().InitBar1(0, EmployeeCount() > 1 ? EmployeeCount() : lineCount_);
}

void TFormFastRep::RLANeedData(TDocument&, int b, bool& more)
{
    if (b == btMasterData) {
        ++master_;
        if (EmployeeCount() > 1)
            Progress().IncPos1();
        more = master_ < EmployeeCount();
        if (more)
            LoadEmployee(employees_[master_]);
    } else if (b == btDetailData) {
        ++detail_;
        if (EmployeeCount() < 2)
            Progress().IncPos1();
        more = detail_ < lineCount_;
    }
}

void TFormFastRep::RLBNeedData(TDocument& doc, int b, bool& more)
{
    if (b == btMasterData) {
        RLANeedData(doc, b, more);
        section_ = 0;
    } else if (b == btDetailData) {
        ++section_;
        more = section_ == 1 || section_ == 2;
    } else if (b == btSubdetailData) {
        ++detail_;
        if (EmployeeCount() < 2)
            Progress().IncPos1();
        more = detail_ < lineCount_;
        if (more && section_ == 1 && IsDeduction(RowAt(detail_))) {
            // The first deduction ends the supplements and opens section 2.
            more = false;
            --detail_;
        }
    }
}

// ---------------------------------------------------------------- pay sheet, certificates, payment sheets

void TFormFastRep::RVBeginDoc(TDocument& doc)
{
    EmployeeSet();
    LoadEmployee(employees_.first());
    const QString name = doc.NameDocument();
    doc.SetNameDocument(name);
    doc.Title = TitleOf(name, false);
}

// Every page and the second pass of a double sheet walk from the start.
void TFormFastRep::RVBeginPage(TDocument&)
{
    master_ = -1;
    ved_.ClearTotals();
    Progress().InitBar1(0, EmployeeCount());
}

bool TFormFastRep::KeepNegative() { return AmountToPay() < 0; }

void TFormFastRep::RVNeedData(TDocument&, int b, bool& more)
{
    if (b != btMasterData)
        return;
    Progress().IncPos1();
    more = NextEmployee(kind_ == 5 ? &TFormFastRep::KeepNegative : nullptr);
    if (more)
        ved_.AddTabn(Results());
}

double TFormFastRep::PaymentAmount()
{
    if (variant_ == 1)
        return RoundMoney(Results().GetSum(dnVsego).ToDouble());
    ved2_.ClearTotals();
    ved2_.AddTabn(card_->GetVvodList());
    return RoundMoney(ved2_.ColumnCount() > 0 ? ved2_.ColumnValue(0) : 0);
}

bool TFormFastRep::KeepPayable() { return PaymentAmount() > 0; }

void TFormFastRep::PVNeedData(TDocument&, int b, bool& more)
{
    if (b != btMasterData)
        return;
    Progress().IncPos1();
    more = NextEmployee(&TFormFastRep::KeepPayable);
    if (!more)
        return;
    ved_.AddTabn(variant_ == 1 ? Results() : card_->GetVvodList());
    if (variant_ == 2)
        PostPayment();
}

// The paid sum goes into the deduction once per employee and forming: the
// pages and a double sheet walk the employees again.
void TFormFastRep::PostPayment()
{
    if (!params_.AutoPost || params_.DeductionNum == 0 || posted_.contains(tabNum_))
        return;
    posted_.insert(tabNum_);
    T_TabnDopList& input = card_->GetVvodList();
    double time = 0, proc = 0;
    Currency sum;
    if (params_.AddToSum)
        input.GetValues(params_.DeductionNum, time, sum, proc);
    const double paid = ved_.ColumnCount() > 0 ? ved_.ColumnValue(0) : 0;
    input.SetValues(params_.DeductionNum, time, Currency::FromDouble(sum.ToDouble() + paid), proc);
    input.SaveInput();
}

// ---------------------------------------------------------------- certificates for the enterprise

void TFormFastRep::SPBeginDoc(TDocument&)
{
    podrLines_.clear();
    T_PNTree tree(PNList());
    tree.SetFilter(pfCurrent);
    TStringItems lines;
    tree.FillStrings(lines, -1);
    for (const TStringItem& line : lines)
        if (T_MPodr* node = T_PNTree::NodeOfItem(line); node && node->Podr && !node->Podr->IsEnterprise())
            podrLines_ << node->Podr->Num;
}

void TFormFastRep::SPBeginPage(TDocument&)
{
    podrCounter_ = -1;
    master_ = -1;
    ved_.ClearTotals();
    Progress().InitBar1(0, static_cast<int>(podrLines_.size()));
}

void TFormFastRep::SPNeedData(TDocument&, int b, bool& more)
{
    if (b == btMasterData) {
        while (++podrCounter_ < podrLines_.size()) {
            Progress().IncPos1();
            FillDepartmentEmployees(podrLines_[podrCounter_]);
            if (!employees_.isEmpty()) {
                more = true;
                break;
            }
        }
        master_ = -1;
        tabNum_ = 0;
        ved_.ClearDepartment();
    } else if (b == btDetailData) {
        more = NextEmployee(&TFormFastRep::PassesCondition);
        if (more)
            ved_.AddTabn(Results());
    }
}

// ---------------------------------------------------------------- summary of accruals

void TFormFastRep::SvodNachBeginDoc(TDocument&)
{
    ved_.Clear();
    dnView_->SetSortMode(1);
    dnView_->SetFilter(kSummaryFilter);
    for (int i = 0; i < dnView_->DopCount(); ++i) {
        T_Dop* dop = dnView_->GetDop(i);
        T_RasVedItem* column = ved_.AddColumn();
        column->Name = dop->GetName();
        column->AddInteger(dop->DopNum);
    }
    const auto addDepartment = [this](qint32 podr) {
        FillDepartmentEmployees(podr);
        for (qint32 tabNum : employees_) {
            LoadEmployee(tabNum);
            ved_.AddTabn(Results());
        }
    };
    if (variant_ == 1) {
        SPBeginDoc(*forming_);
        Progress().InitBar1(0, static_cast<int>(podrLines_.size()));
        for (qint32 podr : podrLines_) {
            Progress().IncPos1();
            addDepartment(podr);
        }
    } else {
        FillDepartmentEmployees(params_.Podr);
        Progress().InitBar1(0, EmployeeCount());
        for (qint32 tabNum : QList<qint32>(employees_)) {
            Progress().IncPos1();
            LoadEmployee(tabNum);
            ved_.AddTabn(Results());
        }
    }
    tabNum_ = 0;
    rowCount_ = dnView_->DopCount();
    boundary_ = rowCount_;
    for (int i = 0; i < rowCount_; ++i)
        if (dnView_->GetDop(i)->Uder) {
            boundary_ = i;
            break;
        }
    lineCount_ = boundary_ < rowCount_ ? std::max(boundary_, rowCount_ - boundary_) : rowCount_;
    detail_ = -1;
}

void TFormFastRep::SvodNachBeginPage(TDocument&)
{
    detail_ = -1;
    Progress().InitBar1(0, lineCount_);
}

void TFormFastRep::SvodNachNeedData(TDocument&, int b, bool& more)
{
    if (b != btMasterData)
        return;
    ++detail_;
    Progress().IncPos1();
    more = detail_ < lineCount_;
}

bool TFormFastRep::SvodOwnValue(const QString& name, QString& value)
{
    if (name == S("PODRNAME") && variant_ == 1) {
        value = S("Предприятие");
        return true;
    }
    const int i = detail_;
    const auto kindValue = [&](const QString& rest, int index) {
        value.clear();
        if (index < 0)
            return;
        if (index >= ved_.ColumnCount())
            throw EAppException(S("Нет столбца №") + QString::number(index + 1));
        T_Dop* dop = dnView_->GetDop(index);
        if (rest == S("NUM"))
            value = dop->GetNumberText();
        else if (rest == S("NAME"))
            value = dop->GetName();
        else if (rest == S("SUM"))
            value = FormatMoney(ved_.ColumnTotal(index));
        else if (rest == S("TIME"))
            return; // offered with the pay slip's names; the summary adds up no time
        else {
            bool ok = false;
            const int part = rest.mid(2).toInt(&ok);
            value = dop->GetNamePart(ok && part >= 0 ? part : Cfg.NameDopVid);
        }
    };
    const auto known = [](const QString& rest) {
        return rest == S("NUM") || rest == S("NAME") || rest == S("SUM") || rest == S("TIME")
            || rest.startsWith(S("N."));
    };
    const int count = rowCount_;
    if (name.startsWith(S("NACHD")) && known(name.mid(5))) {
        kindValue(name.mid(5), i >= 0 && i < lineCount_ && i < count && i < boundary_ ? i : -1);
        return true;
    }
    if (name.startsWith(S("NACHU")) && known(name.mid(5))) {
        kindValue(name.mid(5), i >= 0 && i < lineCount_ && boundary_ + i < count ? boundary_ + i : -1);
        return true;
    }
    if (name.startsWith(S("NACH")) && known(name.mid(4))) {
        kindValue(name.mid(4), i >= 0 && i < count ? i : -1);
        return true;
    }
    return false;
}
