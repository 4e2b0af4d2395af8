#include "calc/ui/DoplEdit.h"
#include "calc/ui/AccrualEditors.h"
#include "calc/ui/SprDop.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/Dops.h"
#include "data/Rights.h"
#include "data/ui/DpSelect.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/NumEdit.h"
#include "platform/DateTime.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kNumRole = Qt::UserRole;

QString KindText(const T_Dop& dop) { return QStringLiteral("%1  %2").arg(dop.GetNumberText(), dop.GetName()); }

QListWidgetItem* AddKindItem(QListWidget* list, const T_Dop& dop)
{
    auto* item = new QListWidgetItem(DopImage(GetDopImageIndex(&dop, false)), KindText(dop), list);
    item->setData(kNumRole, dop.DopNum);
    return item;
}

QList<qint32> Numbers(const T_DopTabl* table)
{
    QList<qint32> out;
    for (int i = 0; table && i < table->Count(); ++i)
        out << table->GetInteger(i);
    return out;
}

void SetNumbers(T_DopTabl& table, const QList<qint32>& numbers)
{
    table.Clear();
    for (qint32 n : numbers)
        table.AddInteger(n);
}

QSpinBox* StageEdit(QWidget* parent)
{
    auto* e = new QSpinBox(parent);
    // Wider than the column, so that the bounds are ours to apply.
    e->setRange(-99999, 99999);
    return e;
}

} // namespace

TFormDoplEdit::TFormDoplEdit(QWidget* parent, bool embedded)
    : TForm(parent, embedded ? QStringLiteral("FormDoplCard") : QStringLiteral("FormDoplEdit")), embedded_(embedded)
{
    SetButtonMnemonics(true);
    if (embedded)
        setWindowFlags(Qt::Widget);
    setWindowTitle(QStringLiteral("Карточка начисления"));
    SetKeyPreview(true);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    lbHeading = new QLabel(this);
    QFont f = lbHeading->font();
    f.setBold(true);
    lbHeading->setFont(f);
    btEdit = new QPushButton(QStringLiteral("Изменить"), this);
    btEdit->setCheckable(true);
    btEdit->setAutoDefault(false);
    top->addWidget(lbHeading, 1);
    top->addWidget(btEdit);
    layout->addLayout(top);
    pc = new QTabWidget(this);
    layout->addWidget(pc);

    // ---- "Основные данные"
    auto* tabMain = new QWidget;
    auto* mainLayout = new QHBoxLayout(tabMain);
    auto* left = new QFormLayout;
    edNaim = new QLineEdit(tabMain);
    edDopNomer = new QLineEdit(tabMain);
    deDateBeg = MakeDateEdit(tabMain, "deDateBeg");
    edSum = Named(new Tyq_FloatEdit(tabMain), "edSum");
    edSum->SetDecimalPlaces(4);
    left->addRow(QStringLiteral("Наименование"), edNaim);
    left->addRow(QStringLiteral("Код предприятия"), edDopNomer);
    left->addRow(QStringLiteral("Дата"), deDateBeg);
    left->addRow(QStringLiteral("Значение"), edSum);
    cbTabl = new QCheckBox(QStringLiteral("Табличное"), tabMain);
    cbVList = new QCheckBox(QStringLiteral("Вычеты"), tabMain);
    cbFBalans = new QCheckBox(QStringLiteral("Входит в баланс времени"), tabMain);
    cbFDayClock = new QCheckBox(QStringLiteral("Ввод времени в днях"), tabMain);
    cbFRazov = new QCheckBox(QStringLiteral("Разовая выплата за период"), tabMain);
    cbIndivid = new QCheckBox(QStringLiteral("Индивидуальное"), tabMain);
    for (QCheckBox* c : {cbTabl, cbVList, cbFBalans, cbFDayClock, cbFRazov, cbIndivid})
        left->addRow(c);
    mainLayout->addLayout(left, 1);
    auto* calc = new QGroupBox(QStringLiteral("  Расчет  "), tabMain);
    auto* calcLayout = new QFormLayout(calc);
    cbFormula = new QComboBox(calc);
    calcLayout->addRow(new QLabel(QStringLiteral("Формула расчета"), calc));
    calcLayout->addRow(cbFormula);
    edStadiaF = StageEdit(calc);
    edStadiaD = StageEdit(calc);
    btStadiaF = new QPushButton(QStringLiteral("Выбрать"), calc);
    btStadiaD = new QPushButton(QStringLiteral("Выбрать"), calc);
    auto stageRow = [&](const QString& label, QSpinBox* e, QPushButton* b) {
        auto* row = new QHBoxLayout;
        row->addWidget(e, 1);
        row->addWidget(b);
        b->setAutoDefault(false);
        calcLayout->addRow(new QLabel(label, calc));
        calcLayout->addRow(row);
    };
    stageRow(QStringLiteral("Стадия расчета формулы"), edStadiaF, btStadiaF);
    stageRow(QStringLiteral("Стадия расчета исходных данных"), edStadiaD, btStadiaD);
    cbNakopl = new QCheckBox(QStringLiteral("Накопления за период"), calc);
    btEditor = new QPushButton(QStringLiteral("Редактор"), calc);
    btEditor->setAutoDefault(false);
    calcLayout->addRow(cbNakopl);
    calcLayout->addRow(btEditor);
    mainLayout->addWidget(calc, 1);
    pc->addTab(tabMain, QStringLiteral("Основные данные"));

    // ---- "Вхождение"
    auto* tabIn = new QWidget;
    auto* inLayout = new QVBoxLayout(tabIn);
    lbIn = new QLabel(tabIn);
    lvIn = new QListWidget(tabIn);
    lvIn->setObjectName(QStringLiteral("lvIn"));
    inLayout->addWidget(lbIn);
    inLayout->addWidget(lvIn, 1);
    pc->addTab(tabIn, QStringLiteral("Вхождение"));

    // ---- "Вычеты"
    auto* tabVych = new QWidget;
    auto* vychLayout = new QVBoxLayout(tabVych);
    lbVych = new QLabel(tabVych);
    lvVych = new QListWidget(tabVych);
    btAddVych = new QPushButton(QStringLiteral("Добавить"), tabVych);
    btDelVych = new QPushButton(QStringLiteral("Удалить"), tabVych);
    auto* vychButtons = new QHBoxLayout;
    vychButtons->addWidget(btAddVych);
    vychButtons->addWidget(btDelVych);
    vychButtons->addStretch();
    vychLayout->addWidget(lbVych);
    vychLayout->addWidget(lvVych, 1);
    vychLayout->addLayout(vychButtons);
    pc->addTab(tabVych, QStringLiteral("Вычеты"));

    // ---- "Таблица"
    auto* tabTabl = new QWidget;
    auto* tablLayout = new QVBoxLayout(tabTabl);
    lbTabl = new QLabel(tabTabl);
    lvTabl = new QListWidget(tabTabl);
    lvTabl->setObjectName(QStringLiteral("lvTabl"));
    cbOwnTable = new QCheckBox(QStringLiteral("Собственная таблица"), tabTabl);
    cbOwnTable->setEnabled(false);
    lbOwner = new QLabel(QStringLiteral("Владелец:"), tabTabl);
    btSelectTable = new QPushButton(QStringLiteral("Выбрать существующую"), tabTabl);
    btCreateTable = new QPushButton(QStringLiteral("Создать собственную"), tabTabl);
    auto* tablButtons = new QHBoxLayout;
    tablButtons->addWidget(cbOwnTable);
    tablButtons->addWidget(lbOwner, 1);
    tablButtons->addWidget(btSelectTable);
    tablButtons->addWidget(btCreateTable);
    tablLayout->addWidget(lbTabl);
    tablLayout->addWidget(lvTabl, 1);
    tablLayout->addLayout(tablButtons);
    pc->addTab(tabTabl, QStringLiteral("Таблица"));

    for (QPushButton* b : {btAddVych, btDelVych, btSelectTable, btCreateTable})
        b->setAutoDefault(false);
    for (QListWidget* l : {lvIn, lvVych, lvTabl})
        ShowCurrentRowOnFocus(l);
    for (QListWidget* l : {lvIn, lvTabl})
        l->installEventFilter(this);

    connect(btEdit, &QPushButton::clicked, this, guarded([this] { ToggleEditMode(); }));
    connect(btAddVych, &QPushButton::clicked, this, guarded([this] { AddVych(); }));
    connect(btDelVych, &QPushButton::clicked, this, guarded([this] { DelVych(); }));
    connect(btSelectTable, &QPushButton::clicked, this, guarded([this] { SelectExistingTable(); }));
    connect(btCreateTable, &QPushButton::clicked, this, guarded([this] { CreateOwnTable(); }));
    connect(btStadiaF, &QPushButton::clicked, this, guarded([this] { ChooseFormulaStage(); }));
    connect(btStadiaD, &QPushButton::clicked, this, guarded([this] { ChooseDataStage(); }));
    connect(btEditor, &QPushButton::clicked, this, guarded([this] { OpenEditor(); }));
    connect(cbNakopl, &QCheckBox::clicked, this, guarded([this] { NakoplClicked(); }));
    connect(cbTabl, &QCheckBox::clicked, this, guarded([this] { TablClicked(); }));
    connect(cbVList, &QCheckBox::clicked, this, guarded([this] { VListClicked(); }));
    connect(edStadiaF, &QSpinBox::editingFinished, this, guarded([this] { FormulaStageLeft(); }));
    connect(edStadiaD, &QSpinBox::editingFinished, this, guarded([this] { DataStageLeft(); }));
    connect(cbFormula, &QComboBox::currentIndexChanged, this, guarded([this] {
        if (!filling_ && CurrentMethod() != cmRtTable)
            cbNakopl->setChecked(false);
        UpdateEnabled();
    }));

    if (T_DNList* dn = DNList())
        link_ = TNotifyLink(dn->NotifyList(), TNotifyEvent(this, &TFormDoplEdit::DirectoryChanged));
    resize(720, 460);
    UpdateEnabled();
}

TFormDoplEdit::~TFormDoplEdit() = default;

QString TFormDoplEdit::Heading() const
{
    if (dopNum_ < 0)
        return QString();
    return (uder_ ? QStringLiteral("Карточка удержания") : QStringLiteral("Карточка доплаты"))
        + QStringLiteral("  [%1]  ").arg(dopNum_);
}

void TFormDoplEdit::ShowFor(qint32 dopNum)
{
    if (isVisible())
        ErrorAbort(QStringLiteral("Форма уже активна"));
    SetDopNum(dopNum);
    show();
    raise();
}

void TFormDoplEdit::SetDopNum(qint32 dopNum)
{
    if (dopNum == dopNum_)
        return;
    LeaveEditMode();
    if (dopNum < 0) {
        dopNum_ = -1;
        lbHeading->clear();
        return;
    }
    T_DNList* dn = DNList();
    if (!dn || !dn->FindDop(dopNum))
        ErrorAbort(QStringLiteral("Не найдено начисление №%1").arg(dopNum));
    dopNum_ = dopNum;
    AppContext().LastDopNum = dopNum;
    Fill();
}

qint32 TFormDoplEdit::CurrentMethod() const { return cbFormula->currentData().toInt(); }

void TFormDoplEdit::FillMethods(bool accrual)
{
    if (cbFormula->count() > 0 && methodsForAccruals_ == accrual)
        return;
    methodsForAccruals_ = accrual;
    FillMethodCombo(cbFormula, accrual);
}

void TFormDoplEdit::Fill()
{
    T_DNList* dn = DNList();
    T_Dop* dop = dn ? dn->FindDop(dopNum_) : nullptr;
    if (!dop)
        RaiseError(QStringLiteral("Неверный номер начисления"));
    filling_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{filling_};
    uder_ = dop->Uder;
    lbHeading->setText(Heading());
    edNaim->setText(dop->Naim);
    edDopNomer->setText(dop->DopNomer);
    deDateBeg->setDate(ToQDate(dop->DateBeg));
    edSum->SetValue(dop->Sum);
    cbTabl->setChecked(dop->Tabl != 0);
    cbVList->setChecked(dop->VList != 0);
    cbFBalans->setChecked(dop->FBalans);
    cbFDayClock->setChecked(dop->FDayClock);
    cbFRazov->setChecked(dop->FRazov);
    cbIndivid->setChecked(dop->Individ);
    FillMethods(!uder_);
    // Code 197 stands twice: the first row is the one.
    cbFormula->setCurrentIndex(std::max(0, cbFormula->findData(dop->Formula)));
    edStadiaF->setValue(dop->StadiaF);
    edStadiaD->setValue(dop->StadiaD);
    cbNakopl->setChecked(dop->Nakopl);

    // The tables this kind may be part of: only kinds with a base table.
    lvIn->clear();
    lvIn->setVisible(!uder_);
    lbIn->setText(uder_ ? QStringLiteral("Для удержаний не определено") : QStringLiteral("Входит в таблицы"));
    if (!uder_) {
        T_DNSubList all(dn, dfAccruals | dfDeductions);
        all.SetSortMode(3);
        for (int i = 0; i < all.DopCount(); ++i) {
            T_Dop* other = all.GetDop(i);
            QListWidgetItem* item = AddKindItem(lvIn, *other);
            if (other->Tabl > 0 && other->TablTable)
                item->setCheckState(InTable(dopNum_, other->TablTable) ? Qt::Checked : Qt::Unchecked);
        }
    }

    vlistNum_ = dop->VList;
    lvVych->clear();
    T_yqOwnerListOf<T_MDop> vych;
    dop->GetVychetList(vych);
    for (T_MDop* m : vych)
        AddKindItem(lvVych, *m->Dop);
    lbVych->setText(vlistNum_ != 0 ? QStringLiteral("Вычеты перед расчетом") : QStringLiteral("Не определены"));

    tablNum_ = dop->Tabl;
    SetTablMarks(Numbers(dop->TablTable));
    entry_ = Capture();
    UpdateEnabled();
}

void TFormDoplEdit::SetTablMarks(const QList<qint32>& numbers)
{
    T_DNList* dn = DNList();
    lvTabl->clear();
    const T_DopTabl* table = tablNum_ > 0 ? dn->Tables().FindByNum(tablNum_) : nullptr;
    lbTabl->setText(
        tablNum_ != 0 ? QStringLiteral("Таблица выбора начисляемых доплат") : QStringLiteral("Не определены"));
    cbOwnTable->setChecked(tablNum_ == -1 || (table && table->DopNum == dopNum_));
    const T_Dop* owner = table ? dn->FindDop(table->DopNum) : nullptr;
    lbOwner->setText(QStringLiteral("Владелец: ")
        + (tablNum_ == -1 ? edNaim->text()
                : owner   ? owner->GetName()
                : table   ? table->Naim
                          : QString()));
    if (tablNum_ == 0)
        return;
    T_DNSubList kinds(dn, dfAccruals | dfDeductions | dfNoBalans);
    kinds.SetSortMode(3);
    for (int i = 0; i < kinds.DopCount(); ++i) {
        QListWidgetItem* item = AddKindItem(lvTabl, *kinds.GetDop(i));
        item->setCheckState(numbers.contains(kinds.GetDop(i)->DopNum) ? Qt::Checked : Qt::Unchecked);
    }
    UpdateEnabled();
}

TFormDoplEdit::Snapshot TFormDoplEdit::Capture() const
{
    Snapshot s;
    s.Naim = edNaim->text();
    s.DopNomer = edDopNomer->text();
    s.DateBeg = static_cast<qint64>(FromQDate(deDateBeg->date()));
    edSum->ReadBack(); // a text that is no number is refused, never taken as 0
    s.Sum = edSum->Value();
    s.FBalans = cbFBalans->isChecked();
    s.FDayClock = cbFDayClock->isChecked();
    s.FRazov = cbFRazov->isChecked();
    s.Individ = cbIndivid->isChecked();
    s.Nakopl = cbNakopl->isChecked();
    s.Formula = CurrentMethod();
    s.StadiaF = BoundFormulaStage(edStadiaF->value());
    s.StadiaD = edStadiaD->value();
    s.TablNum = cbTabl->isChecked() ? tablNum_ : 0;
    s.VListNum = cbVList->isChecked() ? vlistNum_ : 0;
    for (int i = 0; i < lvVych->count(); ++i)
        s.VychList << lvVych->item(i)->data(kNumRole).toInt();
    for (int i = 0; i < lvTabl->count(); ++i)
        if (lvTabl->item(i)->checkState() == Qt::Checked)
            s.TablMarks << lvTabl->item(i)->data(kNumRole).toInt();
    for (int i = 0; !uder_ && i < lvIn->count(); ++i) {
        const QVariant mark = lvIn->item(i)->data(Qt::CheckStateRole);
        if (mark.isValid())
            s.Membership.insert(lvIn->item(i)->data(kNumRole).toInt(), mark.toInt() == Qt::Checked);
    }
    return s;
}

void TFormDoplEdit::Save(const Snapshot& s)
{
    T_DNList* dn = DNList();
    dn->EnsureLoaded();
    const auto table = [&](qint32 num, int tip) -> T_DopTabl* {
        if (num > 0) {
            if (T_DopTabl* t = dn->Tables().FindByNum(num))
                return t;
        }
        // Made in the directory's list, so the kind's save writes and keeps it.
        auto* t = new T_DopTabl;
        t->Num = -1;
        t->DopNum = dopNum_;
        t->Tip = tip;
        t->Naim = s.Naim;
        dn->Tables().AddObject(t);
        return t;
    };
    try {
        T_Dop* dop = dn->FindDop(dopNum_);
        if (!dop)
            RaiseError(QStringLiteral("Не найдено начисление №%1").arg(dopNum_));
        if (s.VListNum != 0) {
            T_DopTabl* t = table(s.VListNum, 1);
            if (t->Num == -1 || s.VychList != entry_.VychList || s.VListNum != entry_.VListNum)
                SetNumbers(*t, s.VychList);
            dop->VList = t->Num;
            dop->VListTable = t;
        } else {
            dop->VList = 0;
            dop->VListTable = nullptr;
        }
        if (s.TablNum != 0) {
            T_DopTabl* t = table(s.TablNum, 0);
            if (t->Num == -1 || s.TablMarks != entry_.TablMarks || s.TablNum != entry_.TablNum)
                SetNumbers(*t, s.TablMarks);
            dop->Tabl = t->Num;
            dop->TablTable = t;
        } else {
            dop->Tabl = 0;
            dop->TablTable = nullptr;
        }
        dop->DateBeg = static_cast<TDateTime>(s.DateBeg);
        dop->StadiaF = s.StadiaF;
        dop->StadiaD = BoundDataStage(uder_, s.StadiaD, s.StadiaF, dn->MaxStadiaF());
        dop->Sum = s.Sum;
        dop->Individ = s.Individ;
        dop->FBalans = s.FBalans;
        dop->FDayClock = s.FDayClock;
        dop->FRazov = s.FRazov;
        dop->Nakopl = s.Nakopl && s.Formula == cmRtTable;
        dop->Naim = s.Naim;
        dop->DopNomer = s.DopNomer;
        dop->Formula = s.Formula;
        dop->Save();
        // Membership: each kind looked up afresh, as a save may have re-read the directory.
        for (auto it = s.Membership.cbegin(); it != s.Membership.cend(); ++it) {
            T_Dop* other = dn->FindDop(it.key());
            if (!other || !other->TablTable || InTable(dopNum_, other->TablTable) == it.value())
                continue;
            if (it.value())
                other->TablTable->AddInteger(dopNum_);
            else
                other->TablTable->Delete(other->TablTable->IndexOfInteger(dopNum_));
            other->Save();
        }
    } catch (...) {
        dn->SetLoaded(false);
        throw;
    }
    dn->Reload();
}

void TFormDoplEdit::EnterEditMode()
{
    if (editMode_ || dopNum_ < 0)
        return;
    RequireOperation(14);
    entry_ = Capture();
    editMode_ = true;
    UpdateEnabled();
}

void TFormDoplEdit::LeaveEditMode()
{
    if (!editMode_)
        return;
    const Snapshot now = Capture();
    if (!(now == entry_) && now.Naim.trimmed().isEmpty()) {
        edNaim->setFocus();
        ErrorAbort(QStringLiteral("Введите наименование начисления"));
    }
    if (!(now == entry_) && AskSaveChanges(QStringLiteral("Начисление :\r\n\"%1\"").arg(now.Naim)))
        Save(now);
    editMode_ = false;
    if (T_Dop* dop = DNList()->FindDop(dopNum_))
        dop->RefreshOrFail();
    Fill();
}

void TFormDoplEdit::ToggleEditMode()
{
    // The button shows the mode, not the click.
    struct Sync {
        TFormDoplEdit* f;
        ~Sync() { f->UpdateEnabled(); }
    } sync{this};
    if (editMode_)
        LeaveEditMode();
    else
        EnterEditMode();
}

void TFormDoplEdit::UpdateEnabled()
{
    btEdit->setChecked(editMode_);
    btEdit->setEnabled(dopNum_ >= 0);
    for (QWidget* w : std::initializer_list<QWidget*>{edNaim, edDopNomer, deDateBeg, edSum, cbTabl, cbVList, cbFBalans,
             cbFDayClock, cbFRazov, cbIndivid, cbFormula, edStadiaF, edStadiaD, btStadiaF, btStadiaD, cbNakopl,
             btAddVych, btDelVych, btSelectTable, btCreateTable})
        w->setEnabled(editMode_);
    const qint32 method = CurrentMethod();
    btEditor->setEnabled(method == cmUserFormula || method == cmRtTable);
    for (QListWidget* l : {lvIn, lvTabl})
        for (int i = 0; i < l->count(); ++i) {
            QListWidgetItem* item = l->item(i);
            if (!item->data(Qt::CheckStateRole).isValid())
                continue;
            item->setFlags(
                editMode_ ? item->flags() | Qt::ItemIsUserCheckable : item->flags() & ~Qt::ItemIsUserCheckable);
        }
}

void TFormDoplEdit::DirectoryChanged(TObject*)
{
    // While editing the controls keep what the clerk typed; the kind is
    // looked up by number when it is saved.
    if (editMode_ || dopNum_ < 0 || filling_)
        return;
    if (DNList()->FindDop(dopNum_))
        Fill();
}

void TFormDoplEdit::NakoplClicked()
{
    if (!cbNakopl->isChecked() || CurrentMethod() == cmRtTable)
        return;
    cbNakopl->setChecked(false);
    ShowError(QStringLiteral("Накопления возможны только для Формулы\r\n\r\n\"%1\"")
                  .arg(GetCalcMethodName(cmRtTable, !uder_)));
}

void TFormDoplEdit::FormulaStageLeft()
{
    if (filling_)
        return;
    const qint32 v = BoundFormulaStage(edStadiaF->value());
    if (v != edStadiaF->value())
        edStadiaF->setValue(v);
}

void TFormDoplEdit::DataStageLeft()
{
    if (filling_)
        return;
    const qint32 v = BoundDataStage(uder_, edStadiaD->value(), edStadiaF->value(), DNList()->MaxStadiaF());
    if (v != edStadiaD->value())
        edStadiaD->setValue(v);
}

void TFormDoplEdit::TablClicked()
{
    if (!cbTabl->isChecked())
        return; // TABL 0 on save; the DPT row stays
    if (tablNum_ == 0) {
        const T_DopTabl* own = DNList()->Tables().FindByOwner(dopNum_, 0);
        tablNum_ = own ? own->Num : -1;
        SetTablMarks(Numbers(own));
    }
}

void TFormDoplEdit::VListClicked()
{
    if (!cbVList->isChecked() || vlistNum_ != 0)
        return;
    const T_DopTabl* own = DNList()->Tables().FindByOwner(dopNum_, 1);
    vlistNum_ = own ? own->Num : -1;
    lvVych->clear();
    for (qint32 n : Numbers(own))
        if (const T_Dop* d = DNList()->FindDop(n))
            AddKindItem(lvVych, *d);
    lbVych->setText(QStringLiteral("Вычеты перед расчетом"));
}

void TFormDoplEdit::AddVych()
{
    if (!cbVList->isChecked() || vlistNum_ == 0)
        ErrorAbort(QStringLiteral("Нет списка вычетов"));
    const qint32 n = SelectDop(dfAccruals | dfDeductions,
        QStringLiteral("Выберите начисление, сумма которого не учитывается при расчете текущего начисления"), -1, 0);
    if (n < 0)
        return;
    for (int i = 0; i < lvVych->count(); ++i)
        if (lvVych->item(i)->data(kNumRole).toInt() == n)
            return;
    if (const T_Dop* d = DNList()->FindDop(n))
        lvVych->setCurrentItem(AddKindItem(lvVych, *d));
}

void TFormDoplEdit::DelVych()
{
    if (!cbVList->isChecked() || vlistNum_ == 0)
        ErrorAbort(QStringLiteral("Нет списка вычетов"));
    QListWidgetItem* item = lvVych->currentItem();
    if (!item) {
        ShowError(QStringLiteral("Не выбрано начисление в списке вычетов"));
        return;
    }
    delete item;
}

void TFormDoplEdit::SelectExistingTable()
{
    const T_DopTabl* t = ShowTbSelect();
    if (!t)
        return;
    // A deduction list as a base table would give a base of 0.
    if (t->Tip != 0)
        ErrorAbort(QStringLiteral("Базовой может быть только таблица начислений"));
    tablNum_ = t->Num;
    cbTabl->setChecked(true);
    SetTablMarks(Numbers(t));
}

void TFormDoplEdit::CreateOwnTable()
{
    QList<qint32> marks;
    for (int i = 0; i < lvTabl->count(); ++i)
        if (lvTabl->item(i)->checkState() == Qt::Checked)
            marks << lvTabl->item(i)->data(kNumRole).toInt();
    tablNum_ = -1;
    cbTabl->setChecked(true);
    SetTablMarks(marks);
}

void TFormDoplEdit::ChooseFormulaStage()
{
    const qint32 stage = SelectStageDop(uder_, true, dopNum_);
    if (stage < 0)
        return;
    T_Dop probe;
    probe.DopNum = dopNum_;
    probe.Uder = uder_;
    probe.StadiaF = edStadiaF->value();
    if (PlaceOnStage(probe, stage))
        edStadiaF->setValue(probe.StadiaF);
}

void TFormDoplEdit::ChooseDataStage()
{
    const qint32 stage = SelectStageDop(uder_, false, dopNum_);
    if (stage >= 0)
        edStadiaD->setValue(BoundDataStage(uder_, stage, edStadiaF->value(), DNList()->MaxStadiaF()));
}

void TFormDoplEdit::OpenEditor()
{
    if (dopNum_ < 0)
        return;
    switch (CurrentMethod()) {
    case cmUserFormula: ShowFormulaEditor(this, dopNum_, 0, 0, QString(), !editMode_); break;
    case cmRtTable: ShowRTEdit(dopNum_); break;
    default: break;
    }
}

void TFormDoplEdit::StepDop(int delta)
{
    T_DNSubList all(DNList(), dfAccruals | dfDeductions);
    all.SetSortMode(3);
    const int at = all.IndexOfDopNum(dopNum_) + delta;
    if (at >= 0 && at < all.DopCount())
        SetDopNum(all.GetDop(at)->DopNum);
}

bool TFormDoplEdit::FormKeyDown(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (ctrl && (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown)) {
        RunGuarded([&] { StepDop(event->key() == Qt::Key_PageUp ? -1 : 1); });
        return true;
    }
    if (event->key() == Qt::Key_F5) {
        RunGuarded([&] { OpenEditor(); });
        return true;
    }
    if (event->key() == Qt::Key_Escape && !embedded_) {
        close();
        return true;
    }
    return TForm::FormKeyDown(event);
}

bool TFormDoplEdit::eventFilter(QObject* watched, QEvent* event)
{
    // The form sees every key of the program while it previews them: Space
    // is the ticks' key only in the card's own lists.
    auto* list = watched == lvIn || watched == lvTabl ? static_cast<QListWidget*>(watched) : nullptr;
    if (list && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        QListWidgetItem* item = list->currentItem();
        if (editMode_ && item && item->data(Qt::CheckStateRole).isValid()) {
            item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            list->setCurrentRow(std::min(list->currentRow() + 1, list->count() - 1));
        }
        return true;
    }
    return TForm::eventFilter(watched, event);
}

void TFormDoplEdit::done(int result)
{
    if (!RunGuarded([this] { LeaveEditMode(); }))
        return;
    if (!embedded_)
        link_.Reset();
    TForm::done(result);
}

void ShowDoplEdit(qint32 dopNum)
{
    if (dopNum < 1)
        dopNum = AppContext().LastDopNum;
    if (dopNum < 1)
        return;
    auto* form = new TFormDoplEdit(nullptr, false);
    form->setAttribute(Qt::WA_DeleteOnClose);
    try {
        form->ShowFor(dopNum);
    } catch (...) {
        delete form;
        throw;
    }
}
