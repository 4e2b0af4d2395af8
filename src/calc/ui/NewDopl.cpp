#include "calc/ui/NewDopl.h"
#include "calc/ui/SprDop.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/ui/DpSelect.h"
#include "db/Cursor.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/NumEdit.h"
#include "platform/DateTime.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr qint32 kMaxDopNum = 32000;

QWidget* Page(const QString& name, QFormLayout*& form)
{
    auto* page = new QWidget;
    page->setObjectName(name);
    page->setWindowTitle(name); // the wizard's header on that page
    form = new QFormLayout(page);
    return page;
}

QSpinBox* NumberEdit(QWidget* parent)
{
    auto* e = new QSpinBox(parent);
    e->setRange(-99999, 99999);
    return e;
}

qint32 DopNumAt(Cursor& dp) { return dp[QStringLiteral("DOPNUM")].AsInteger(); }

} // namespace

TFormNewDopl::TFormNewDopl(QWidget* parent) : TFormMultyPage(parent, QStringLiteral("FormNewDopl"))
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Новое начисление"));
    QFormLayout* form = nullptr;

    // The base's first page is the type page.
    tabType = tabFirst;
    tabType->setWindowTitle(QStringLiteral("Тип"));
    form = new QFormLayout(tabType);
    auto* group = new QGroupBox(QStringLiteral("  Тип начисления  "), tabType);
    auto* groupLayout = new QHBoxLayout(group);
    rbDopl = new QRadioButton(QStringLiteral("Доплата"), group);
    rbUder = new QRadioButton(QStringLiteral("Удержание"), group);
    groupLayout->addWidget(rbDopl);
    groupLayout->addWidget(rbUder);
    form->addRow(group);
    edNaim = new QLineEdit(tabType);
    deDateBeg = MakeDateEdit(tabType, "deDateBeg");
    form->addRow(QStringLiteral("Наименование"), edNaim);
    form->addRow(QStringLiteral("Дата ввода в действие начисления"), deDateBeg);

    tabCode = Page(QStringLiteral("Код.п."), form);
    edDopNum = NumberEdit(tabCode);
    auto* prev = new QPushButton(QStringLiteral("<"), tabCode);
    auto* next = new QPushButton(QStringLiteral(">"), tabCode);
    auto* numRow = new QHBoxLayout;
    numRow->addWidget(prev);
    numRow->addWidget(edDopNum, 1);
    numRow->addWidget(next);
    form->addRow(QStringLiteral("Код начисления"), numRow);
    edDopNomer = new QLineEdit(tabCode);
    cbCheckCode = new QCheckBox(QStringLiteral("Проверять совпадения"), tabCode);
    form->addRow(QStringLiteral("Код предприятия"), edDopNomer);
    form->addRow(cbCheckCode);
    AddPage(tabCode);

    tabFormula = Page(QStringLiteral("Формула"), form);
    cbFormula = new QComboBox(tabFormula);
    edStadiaF = NumberEdit(tabFormula);
    edStadiaD = NumberEdit(tabFormula);
    auto* btStadiaF = new QPushButton(QStringLiteral("Выбрать"), tabFormula);
    auto* btStadiaD = new QPushButton(QStringLiteral("Выбрать"), tabFormula);
    form->addRow(QStringLiteral("Формула расчета"), cbFormula);
    auto stageRow = [&](const QString& label, QSpinBox* e, QPushButton* b) {
        auto* row = new QHBoxLayout;
        row->addWidget(e, 1);
        row->addWidget(b);
        form->addRow(label, row);
    };
    stageRow(QStringLiteral("Стадия расчета формулы"), edStadiaF, btStadiaF);
    stageRow(QStringLiteral("Стадия расчета исходных данных"), edStadiaD, btStadiaD);
    AddPage(tabFormula);

    tabCalc = Page(QStringLiteral("Расчет"), form);
    cbTabl = new QCheckBox(QStringLiteral("Табличное начисление"), tabCalc);
    cbVList = new QCheckBox(QStringLiteral("Имеет список вычетов"), tabCalc);
    form->addRow(cbTabl);
    form->addRow(cbVList);
    AddPage(tabCalc);

    tabInd = Page(QStringLiteral("Инд"), form);
    edSum = Named(new Tyq_FloatEdit(tabInd), "edSum");
    edSum->SetDecimalPlaces(4);
    cbIndivid = new QCheckBox(QStringLiteral("Индивидуальное начисление"), tabInd);
    form->addRow(QStringLiteral("Значение"), edSum);
    form->addRow(cbIndivid);
    AddPage(tabInd);

    tabMisc = Page(QStringLiteral("Разное"), form);
    cbFBalans = new QCheckBox(QStringLiteral("Входит в баланс времени"), tabMisc);
    cbFDayClock = new QCheckBox(QStringLiteral("Ввод времени в днях"), tabMisc);
    cbFRazov = new QCheckBox(QStringLiteral("Разовая выплата за период"), tabMisc);
    for (QCheckBox* c : {cbFBalans, cbFDayClock, cbFRazov})
        form->addRow(c);
    AddPage(tabMisc);

    // Offered, not stored.
    tabValuta = Page(QStringLiteral("Валюта"), form);
    auto* main = new QRadioButton(QStringLiteral("Основная"), tabValuta);
    main->setChecked(true);
    form->addRow(main);
    form->addRow(new QRadioButton(QStringLiteral("Дополнительная"), tabValuta));
    form->addRow(new QRadioButton(QStringLiteral("..."), tabValuta));
    AddPage(tabValuta);

    tabEnd = Page(QStringLiteral("end"), form);
    tabEnd->setWindowTitle(QStringLiteral("Новое начисление")); // "end" names the page, not a header
    auto* place = new QPushButton(QStringLiteral("Место в справочнике"), tabEnd);
    auto* cancel = new QPushButton(QStringLiteral("Отменить"), tabEnd);
    auto* save = new QPushButton(QStringLiteral("Сохранить"), tabEnd);
    form->addRow(new QLabel(QStringLiteral("Определите в справочнике начислений :"), tabEnd));
    form->addRow(place);
    auto* endRow = new QHBoxLayout;
    endRow->addStretch();
    endRow->addWidget(cancel);
    endRow->addWidget(save);
    form->addRow(endRow);
    AddPage(tabEnd);

    for (QPushButton* b : {prev, next, btStadiaF, btStadiaD, place, cancel, save})
        b->setAutoDefault(false);
    connect(rbDopl, &QRadioButton::clicked, this, guarded([this] { TypeChosen(); }));
    connect(rbUder, &QRadioButton::clicked, this, guarded([this] { TypeChosen(); }));
    connect(next, &QPushButton::clicked, this, guarded([this] { NextNumber(); }));
    connect(prev, &QPushButton::clicked, this, guarded([this] { PrevNumber(); }));
    connect(edDopNum, &QSpinBox::valueChanged, this, [this](int v) {
        if (!filling_ && dop_)
            dop_->DopNum = v;
    });
    connect(btStadiaF, &QPushButton::clicked, this, guarded([this] { ChooseFormulaStage(); }));
    connect(btStadiaD, &QPushButton::clicked, this, guarded([this] { ChooseDataStage(); }));
    connect(edStadiaF, &QSpinBox::editingFinished, this, guarded([this] { FormulaStageLeft(); }));
    connect(edStadiaD, &QSpinBox::editingFinished, this, guarded([this] { DataStageLeft(); }));
    connect(place, &QPushButton::clicked, this, guarded([this] { ChoosePlace(); }));
    connect(cancel, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrCancel); }));
    connect(save, &QPushButton::clicked, this, guarded([this] { SetModalResult(mrOk); }));
    resize(520, 340);
}

TFormNewDopl::~TFormNewDopl() = default;

void TFormNewDopl::PageChanged() { lbHeader->setText(pc->currentWidget()->windowTitle()); }

bool TFormNewDopl::Uder() const { return rbUder->isChecked(); }

void TFormNewDopl::showEvent(QShowEvent* event)
{
    TFormMultyPage::showEvent(event);
    filling_ = true;
    GoFirstPage();
    reserved_ = 0;
    placeAfter_ = 0;
    closing_ = false;
    dop_ = std::make_unique<T_Dop>(DNList());
    cbFormula->clear();
    methodsForAccruals_ = true;
    FillMethods(true);
    dop_->StadiaF = 150;
    dop_->StadiaD = -1;
    edStadiaF->setValue(150);
    edStadiaD->setValue(-1);
    dop_->DopNum = -1;
    dop_->SNum = -1;
    dop_->DateBeg = FromQDate(QDate::currentDate());
    deDateBeg->setDate(QDate::currentDate());
    // No type chosen: both buttons off.
    for (QRadioButton* r : {rbDopl, rbUder}) {
        r->setAutoExclusive(false);
        r->setChecked(false);
        r->setAutoExclusive(true);
    }
    edNaim->clear();
    edDopNomer->clear();
    edDopNum->setValue(0);
    edSum->SetValue(0);
    for (QCheckBox* c : {cbTabl, cbVList, cbIndivid, cbFBalans, cbFDayClock, cbFRazov})
        c->setChecked(false);
    filling_ = false;
    PageChanged();
}

void TFormNewDopl::FillMethods(bool accrual)
{
    if (cbFormula->count() > 0 && methodsForAccruals_ == accrual)
        return;
    methodsForAccruals_ = accrual;
    FillMethodCombo(cbFormula, accrual);
}

void TFormNewDopl::TypeChosen()
{
    dop_->Uder = Uder();
    FillMethods(!dop_->Uder);
    cbFormula->setCurrentIndex(0);
    dop_->StadiaF = 150;
    dop_->StadiaD = -1;
    edStadiaF->setValue(150);
    edStadiaD->setValue(-1);
}

bool TFormNewDopl::CanChangePage(int from, int to, bool backMove)
{
    if (skipping_)
        return true;
    if (!backMove && !CheckPage(pc->widget(from)))
        return false;
    if (pc->widget(to) == tabMisc && Uder()) {
        // The page of accruals only: passed over either way.
        skipping_ = true;
        SelectPage(backMove ? to - 1 : to + 1);
        skipping_ = false;
        return false;
    }
    return true;
}

bool TFormNewDopl::CheckPage(QWidget* page)
{
    if (page == tabType) {
        if (!rbDopl->isChecked() && !rbUder->isChecked()) {
            ShowError(QStringLiteral("Не определен тип начисления"));
            return false;
        }
        if (edNaim->text().trimmed().isEmpty()) {
            ShowError(QStringLiteral("Введите наименование начисления"));
            edNaim->setFocus();
            return false;
        }
        dop_->Uder = Uder();
        dop_->Naim = edNaim->text();
        dop_->DateBeg = FromQDate(deDateBeg->date());
        if (dop_->DopNum < 1)
            NextNumber();
        return true;
    }
    if (page == tabCode) {
        const qint32 n = dop_->DopNum;
        if (n < -1)
            ErrorAbort(QStringLiteral("Номер не может быть отрицательным"));
        if (n > kMaxDopNum)
            ErrorAbort(QStringLiteral("Номер не может быть более ") + QString::number(kMaxDopNum));
        // 0 would silently become the next free number at the end; -1 asks for that.
        if (n == 0)
            ErrorAbort(QStringLiteral("Код начисления не может быть равен 0"));
        if (n > 0 && n != reserved_) {
            Cursor dp(QStringLiteral("DP"));
            dp.Open();
            if (dp.FindKey({Variant(n)}))
                ErrorAbort(QStringLiteral("Код начисления %1 уже занят|%1  %2")
                               .arg(n)
                               .arg(EscapeBars(dp[QStringLiteral("NAIM")].AsString())));
            Reserve(n);
        }
        const QString code = edDopNomer->text().trimmed();
        if (cbCheckCode->isChecked() && !code.isEmpty()) {
            T_DNList* dn = DNList();
            for (int i = 0; i < dn->DopCount(); ++i) {
                const T_Dop* d = dn->GetDop(i);
                if (d->DopNum != reserved_ && d->DopNomer.trimmed() == code)
                    return false;
            }
        }
        edDopNomer->setText(code);
        dop_->DopNomer = code;
        return true;
    }
    if (page == tabFormula && cbFormula->currentIndex() < 1) {
        ShowError(QStringLiteral("Не определена формула расчета"));
        return false;
    }
    if (page == tabInd) {
        edSum->ReadBack(); // a text that is no number is refused, never taken as 0
        dop_->Sum = edSum->Value();
        if (cbIndivid->isChecked() && dop_->Sum == 0) {
            ShowError(QStringLiteral("Значение индивидуального начисления не может быть = 0.0"));
            return false;
        }
    }
    return true;
}

void TFormNewDopl::Reserve(qint32 number)
{
    // A number typed over an earlier reservation frees that one first.
    Release();
    dop_->DopNum = number;
    dop_->New = true;
    dop_->Naim = edNaim->text();
    dop_->Uder = Uder();
    dop_->Tabl = 0;
    dop_->VList = 0;
    try {
        dop_->Save();
    } catch (const EAbort&) {
        throw;
    } catch (const std::exception&) {
        ErrorAbort(QStringLiteral("Номер уже захвачен"));
    }
    reserved_ = number;
    DNList()->SetLoaded(false);
}

void TFormNewDopl::Release()
{
    if (reserved_ == 0)
        return;
    {
        Cursor dp(QStringLiteral("DP"));
        dp.Open();
        if (dp.FindKey({Variant(reserved_)})) {
            for (const char* f : {"TABL", "VLIST"}) {
                const qint32 num = dp[QString::fromLatin1(f)].AsInteger();
                if (num > 0)
                    DeleteTablRecord(num);
            }
        }
    }
    DeleteDopRecord(reserved_);
    reserved_ = 0;
    dop_->New = true;
}

void TFormNewDopl::NextNumber()
{
    Release();
    qint32 n = std::max(dop_->DopNum + 1, 1);
    if (Uder())
        n = std::max(n, Cfg.MinUderNum);
    Cursor dp(QStringLiteral("DP"));
    dp.Open();
    for (dp.FindNearest({Variant(n)}); !dp.Eof() && DopNumAt(dp) == n; dp.Next())
        ++n;
    dop_->DopNum = n;
    edDopNum->setValue(n);
}

void TFormNewDopl::PrevNumber()
{
    if (dop_->DopNum <= 0) {
        ShowError(QStringLiteral("Не может быть меньше 0"));
        return;
    }
    Release();
    qint32 n = dop_->DopNum - 1;
    const bool uder = Uder();
    if (uder && n < Cfg.MinUderNum)
        n = -1;
    if (n >= 1) {
        Cursor dp(QStringLiteral("DP"));
        dp.Open();
        dp.FindNearest({Variant(n)});
        if (!dp.Eof() && DopNumAt(dp) == n) {
            // Down while the numbers below are taken too.
            for (;;) {
                --n;
                dp.Prior();
                if (dp.Bof() || DopNumAt(dp) != n)
                    break;
            }
        }
        if (uder && n < Cfg.MinUderNum)
            n = -1;
    }
    if (n < 1) {
        // 0 and below are no codes; the current one stays.
        ShowError(QStringLiteral("Свободного кода меньше %1 нет").arg(dop_->DopNum));
        return;
    }
    dop_->DopNum = n;
    filling_ = true;
    edDopNum->setValue(dop_->DopNum);
    filling_ = false;
}

void TFormNewDopl::ChooseFormulaStage()
{
    const qint32 stage = SelectStageDop(Uder(), true, dop_->DopNum);
    if (stage < 0)
        return;
    dop_->StadiaF = edStadiaF->value();
    if (PlaceOnStage(*dop_, stage))
        edStadiaF->setValue(dop_->StadiaF);
}

void TFormNewDopl::ChooseDataStage()
{
    const qint32 stage = SelectStageDop(Uder(), false, dop_->DopNum);
    if (stage < 0)
        return;
    dop_->StadiaD = BoundDataStage(Uder(), stage, edStadiaF->value(), DNList()->MaxStadiaF());
    edStadiaD->setValue(dop_->StadiaD);
}

void TFormNewDopl::FormulaStageLeft()
{
    const qint32 v = std::min(edStadiaF->value(), 32000);
    if (v != dop_->StadiaF)
        PlaceOnStage(*dop_, v);
    edStadiaF->setValue(dop_->StadiaF);
}

void TFormNewDopl::DataStageLeft()
{
    dop_->StadiaD = BoundDataStage(Uder(), edStadiaD->value(), edStadiaF->value(), DNList()->MaxStadiaF());
    edStadiaD->setValue(dop_->StadiaD);
}

void TFormNewDopl::ChoosePlace()
{
    const qint32 n = SelectDop(Uder() ? dfDeductions : dfAccruals,
        QStringLiteral("Выберите начисление, ПОСЛЕ которого будет установлено текущее"), placeAfter_, 3);
    if (n > 0)
        placeAfter_ = n;
}

void TFormNewDopl::SaveNewDop()
{
    T_Dop& d = *dop_;
    d.DopNum = edDopNum->value();
    d.Naim = edNaim->text();
    d.DateBeg = FromQDate(deDateBeg->date());
    d.Uder = Uder();
    d.DopNomer = edDopNomer->text();
    d.Formula = cbFormula->currentData().toInt();
    d.StadiaF = BoundFormulaStage(edStadiaF->value());
    d.StadiaD = edStadiaD->value();
    edSum->ReadBack();
    d.Sum = edSum->Value();
    d.Individ = cbIndivid->isChecked();
    d.FBalans = cbFBalans->isChecked();
    d.FDayClock = cbFDayClock->isChecked();
    d.FRazov = cbFRazov->isChecked();
    d.Tabl = cbTabl->isChecked() ? -1 : 0;
    d.VList = cbVList->isChecked() ? -1 : 0;
    d.TablTable = nullptr;
    d.VListTable = nullptr;
    if (d.DopNum == 0)
        d.DopNum = -1;
    d.New = d.DopNum == -1 || d.DopNum != reserved_;
    if (reserved_ != 0 && d.DopNum != reserved_)
        Release();
    d.Save();
    reserved_ = 0;
    // Right after the chosen kind: before the one that follows it.
    if (placeAfter_ > 0 && placeAfter_ != d.DopNum) {
        T_DNList* dn = DNList();
        dn->SetLoaded(false);
        T_DNSubList order(dn, d.Uder ? dfDeductions : dfAccruals);
        order.SetSortMode(3);
        const int at = order.IndexOfDopNum(placeAfter_);
        qint32 follower = -1;
        for (int i = at + 1; at >= 0 && i < order.DopCount() && follower < 0; ++i)
            if (order.GetDop(i)->DopNum != d.DopNum)
                follower = order.GetDop(i)->DopNum;
        if (follower > 0) {
            MoveDopBefore(d.DopNum, follower);
        } else if (at >= 0) {
            d.SNum = order.GetDop(at)->SNum + 1;
            d.Save();
        }
    }
    DNList()->Reload();
}

void TFormNewDopl::done(int result)
{
    if (closing_) {
        TFormMultyPage::done(result);
        return;
    }
    if (result == mrOk) {
        if (AskSaveChanges(QStringLiteral("Начисление :\r\n\"%1\"").arg(edNaim->text()))) {
            if (!RunGuarded([this] { SaveNewDop(); }))
                return; // the wizard stays open with what was typed
        } else {
            result = mrCancel;
            RunGuarded([this] { Release(); });
        }
    } else {
        RunGuarded([this] { Release(); });
    }
    closing_ = true;
    TFormMultyPage::done(result);
}
