#include "desk/NewEmploy.h"
#include "foundation/ui/base/FormFuncs.h"

#include "calc/PN.h"
#include "calc/ui/SprPx.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/Calendar.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "data/PostList.h"
#include "data/Staff.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "data/UserList.h"
#include "data/ui/SrSelect.h"
#include "db/Cursor.h"
#include "db/Sqlite.h"
#include "desk/SprPost.h"
#include "desk/SprStaff.h"
#include "desk/TabnEdit.h"
#include "foundation/Messages.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/FieldValues.h"
#include "foundation/ui/edits/NumEdit.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

Currency Money(Tyq_CustomNumEdit* edit) { return Currency::FromDouble(edit->Value()); }

} // namespace

TFormNewEmploy::TFormNewEmploy(QWidget* parent)
    : TFormMultyPage(parent, QStringLiteral("FormNewEmploy")),
      ctgrs_(std::make_unique<T_CtgrList>()),
      users_(std::make_unique<T_UserList>())
{
    SetButtonMnemonics(true);
    setWindowTitle(QStringLiteral("Новый работник"));
    resize(560, 420);
    lbHeader->setText(QStringLiteral("Новый работник"));
    headerText_ = lbHeader->text();

    // Fio
    QWidget* page = MakePage(QStringLiteral("Фамилия, имя, отчество"));
    auto* form = static_cast<QFormLayout*>(page->layout());
    edFio = new QLineEdit(page);
    edFio->setObjectName(QStringLiteral("edFio"));
    edFio->setMaxLength(60);
    form->addRow(QStringLiteral("Фамилия, имя, отчество"), edFio);
    cbCUser = new QComboBox(page);
    cbCUser->setObjectName(QStringLiteral("cbCUser"));
    form->addRow(QStringLiteral("Расчетчик"), cbCUser);
    edOrder = new Tyq_IntegerEdit(page);
    edOrder->setObjectName(QStringLiteral("edOrder"));
    form->addRow(QStringLiteral("№ приказа"), edOrder);
    edDateOrder = MakeDateEdit(page, "edDateOrder");
    form->addRow(QStringLiteral("Дата приказа"), edDateOrder);
    edDateBeg = MakeDateEdit(page, "edDateBeg");
    form->addRow(QStringLiteral("Дата начала работы"), edDateBeg);

    // TN
    page = MakePage(QStringLiteral("Табельный номер"));
    form = static_cast<QFormLayout*>(page->layout());
    auto* numRow = new QHBoxLayout;
    edTabNum = new Tyq_IntegerEdit(page);
    edTabNum->setObjectName(QStringLiteral("edTabNum"));
    sbPrevNum = new QToolButton(page);
    sbPrevNum->setObjectName(QStringLiteral("sbPrevNum"));
    sbPrevNum->setText(QStringLiteral("<"));
    sbNextNum = new QToolButton(page);
    sbNextNum->setObjectName(QStringLiteral("sbNextNum"));
    sbNextNum->setText(QStringLiteral(">"));
    numRow->addWidget(edTabNum, 1);
    numRow->addWidget(sbPrevNum);
    numRow->addWidget(sbNextNum);
    form->addRow(QStringLiteral("Табельный номер"), numRow);
    auto* hint = new QLabel(QStringLiteral("Если код = 0, код будет выбран автоматически при сохранении."), page);
    hint->setWordWrap(true);
    form->addRow(hint);
    edSTabNum = new QLineEdit(page);
    edSTabNum->setObjectName(QStringLiteral("edSTabNum"));
    edSTabNum->setMaxLength(10);
    form->addRow(QStringLiteral("Табельный номер предприятия"), edSTabNum);
    cbCheckSTabNum = new QCheckBox(QStringLiteral("Проверять совпадения"), page);
    cbCheckSTabNum->setObjectName(QStringLiteral("cbCheckSTabNum"));
    cbCheckSTabNum->setChecked(true);
    form->addRow(cbCheckSTabNum);

    // Podr
    page = MakePage(QStringLiteral("Место работы"));
    form = static_cast<QFormLayout*>(page->layout());
    auto* podrRow = new QHBoxLayout;
    edPodr = new QLineEdit(page);
    edPodr->setObjectName(QStringLiteral("edPodr"));
    edPodr->setReadOnly(true);
    btPodr = new QPushButton(QStringLiteral("..."), page);
    btPodr->setObjectName(QStringLiteral("btPodr"));
    podrRow->addWidget(edPodr, 1);
    podrRow->addWidget(btPodr);
    form->addRow(QStringLiteral("Подразделение"), podrRow);
    gbPost = new QGroupBox(page);
    auto* postForm = new QFormLayout(gbPost);
    auto* postRow = new QHBoxLayout;
    edPost = new QLineEdit(gbPost);
    edPost->setObjectName(QStringLiteral("edPost"));
    edPost->setReadOnly(true);
    btPost = new QPushButton(QStringLiteral("..."), gbPost);
    btPost->setObjectName(QStringLiteral("btPost"));
    auto* btNewPost = new QPushButton(QStringLiteral("Новая"), gbPost);
    postRow->addWidget(edPost, 1);
    postRow->addWidget(btPost);
    postRow->addWidget(btNewPost);
    postForm->addRow(QStringLiteral("Должность"), postRow);
    auto* ctgrRow = new QHBoxLayout;
    cbCtgr = new QComboBox(gbPost);
    cbCtgr->setObjectName(QStringLiteral("cbCtgr"));
    auto* btNewCtgr = new QPushButton(QStringLiteral("Новая"), gbPost);
    ctgrRow->addWidget(cbCtgr, 1);
    ctgrRow->addWidget(btNewCtgr);
    postForm->addRow(QStringLiteral("Категория"), ctgrRow);
    form->addRow(gbPost);

    // Kso
    page = MakePage(QStringLiteral("Система оплаты труда"));
    form = static_cast<QFormLayout*>(page->layout());
    cbKSop = new QComboBox(page);
    cbKSop->setObjectName(QStringLiteral("cbKSop"));
    form->addRow(QStringLiteral("Система оплаты"), cbKSop);
    edOkl = new Tyq_CurrencyEdit(page);
    edOkl->setObjectName(QStringLiteral("edOkl"));
    AddPayRow(form, edOkl, cbKSop);
    edAvan = new Tyq_CurrencyEdit(page);
    edAvan->setObjectName(QStringLiteral("edAvan"));
    form->addRow(QStringLiteral("Аванс"), edAvan);
    cbCalendar = new QComboBox(page);
    cbCalendar->setObjectName(QStringLiteral("cbCalendar"));
    form->addRow(QStringLiteral("Календарь"), cbCalendar);
    lbMin = new QLabel(page);
    lbMin->setObjectName(QStringLiteral("lbMin"));
    form->addRow(QStringLiteral("Мин."), lbMin);
    lbMax = new QLabel(page);
    lbMax->setObjectName(QStringLiteral("lbMax"));
    form->addRow(QStringLiteral("Макс."), lbMax);
    lbVacancy = new QLabel(page);
    lbVacancy->setObjectName(QStringLiteral("lbVacancy"));
    form->addRow(QStringLiteral("Вакансий"), lbVacancy);
    edVychet = new Tyq_CurrencyEdit(page);
    edVychet->setObjectName(QStringLiteral("edVychet"));
    form->addRow(QStringLiteral("Льгота суммой"), edVychet);
    rgFS = new QButtonGroup(this);
    auto* fsRow = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto* rb = new QRadioButton(QString::number(i), page);
        rgFS->addButton(rb, i);
        fsRow->addWidget(rb);
    }
    form->addRow(QStringLiteral("Признак FS"), fsRow);

    // PN
    page = MakePage(QStringLiteral("Подоходный налог"));
    form = static_cast<QFormLayout*>(page->layout());
    auto* tipRow = new QHBoxLayout;
    cbTipPN = new QComboBox(page);
    cbTipPN->setObjectName(QStringLiteral("cbTipPN"));
    auto* btNewTip = new QPushButton(QStringLiteral("Новая таблица"), page);
    tipRow->addWidget(cbTipPN, 1);
    tipRow->addWidget(btNewTip);
    form->addRow(QStringLiteral("Таблица налога"), tipRow);
    rbPNF = new QRadioButton(QStringLiteral("Полный налог"), page);
    rbPNF->setObjectName(QStringLiteral("rbPNF"));
    rbPNL = new QRadioButton(QStringLiteral("Освобожден от налога"), page);
    rbPNL->setObjectName(QStringLiteral("rbPNL"));
    rbPNC = new QRadioButton(QStringLiteral("Льгота (%)"), page);
    rbPNC->setObjectName(QStringLiteral("rbPNC"));
    edPNLgota = new Tyq_FloatEdit(page);
    edPNLgota->setObjectName(QStringLiteral("edPNLgota"));
    form->addRow(rbPNF);
    form->addRow(rbPNL);
    form->addRow(rbPNC, edPNLgota);
    edMinZarp = new Tyq_IntegerEdit(page);
    edMinZarp->setObjectName(QStringLiteral("edMinZarp"));
    form->addRow(QStringLiteral("Дополнительно мин.з/п"), edMinZarp);

    // LastData
    page = MakePage(QStringLiteral("Данные с прошлого места работы"));
    form = static_cast<QFormLayout*>(page->layout());
    auto money = [page](const char* name) {
        auto* e = new Tyq_CurrencyEdit(page);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    edVsego = money("edVsego");
    form->addRow(QStringLiteral("К выдаче за прошлый месяц"), edVsego);
    edPNPay = money("edPNPay");
    form->addRow(QStringLiteral("Сумма выплаченного налога"), edPNPay);
    edPNSumTo = money("edPNSumTo");
    form->addRow(QStringLiteral("Сумма к налогообложению"), edPNSumTo);
    edPNSumAll = money("edPNSumAll");
    form->addRow(QStringLiteral("Сумма общего дохода с начала года"), edPNSumAll);
    edPNMesAll = new Tyq_IntegerEdit(page);
    edPNMesAll->setObjectName(QStringLiteral("edPNMesAll"));
    form->addRow(QStringLiteral("Месяцев получения общего дохода"), edPNMesAll);
    edPNDopOsv = money("edPNDopOsv");
    form->addRow(QStringLiteral("Дополнительно освобожденная от налога сумма"), edPNDopOsv);
    edPNKolMinZp = new Tyq_IntegerEdit(page);
    edPNKolMinZp->setObjectName(QStringLiteral("edPNKolMinZp"));
    form->addRow(QStringLiteral("Дополнительно мин.з/п"), edPNKolMinZp);
    edPNSumOsv = money("edPNSumOsv");
    form->addRow(QStringLiteral("Сумма, освобожденная от налога"), edPNSumOsv);

    // End
    page = MakePage(QStringLiteral("Определите в справочнике :"));
    form = static_cast<QFormLayout*>(page->layout());
    mmComment = new QPlainTextEdit(page);
    mmComment->setObjectName(QStringLiteral("mmComment"));
    form->addRow(QStringLiteral("Примечание"), mmComment);
    auto* endRow = new QHBoxLayout;
    btCancel = new QPushButton(QStringLiteral("Отменить"), page);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btSave = new QPushButton(QStringLiteral("Сохранить"), page);
    btSave->setObjectName(QStringLiteral("btSave"));
    endRow->addStretch(1);
    endRow->addWidget(btCancel);
    endRow->addWidget(btSave);
    form->addRow(endRow);

    connect(sbNextNum, &QToolButton::clicked, this, guarded([this] { NextNumber(); }));
    connect(sbPrevNum, &QToolButton::clicked, this, guarded([this] { PrevNumber(); }));
    edTabNum->OnExit = guarded([this] {
        if (card_)
            card_->SetTabNum(edTabNum->Value());
    });
    connect(btPodr, &QPushButton::clicked, this, guarded([this] { ChoosePodr(); }));
    connect(btPost, &QPushButton::clicked, this, guarded([this] { ChoosePost(); }));
    connect(btNewPost, &QPushButton::clicked, this, guarded([] { ShowSprStaff(); }));
    connect(btNewCtgr, &QPushButton::clicked, this, guarded([this] {
        ShowSprCtgr(ctgrs_.get());
        FillCombos();
    }));
    connect(btNewTip, &QPushButton::clicked, this, guarded([this] {
        ShowSprPx();
        FillCombos();
        cbTipPN->setCurrentIndex(cbTipPN->count() > 0 ? 0 : -1);
    }));
    connect(cbCUser, &QComboBox::currentIndexChanged, this, [this] {
        if (card_)
            card_->CUser = qint32(cbCUser->currentData().toLongLong());
    });
    connect(cbCtgr, &QComboBox::currentIndexChanged, this, [this] {
        if (card_)
            card_->Ctgr = qint32(cbCtgr->currentData().toLongLong());
    });
    connect(cbTipPN, &QComboBox::currentIndexChanged, this, [this] {
        if (card_)
            card_->SpnTabl = qint32(cbTipPN->currentData().toLongLong());
    });
    connect(cbCalendar, &QComboBox::currentIndexChanged, this, [this] {
        if (card_)
            card_->Calendar = qint32(cbCalendar->currentData().toLongLong());
    });
    connect(cbKSop, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (card_)
            card_->Ksop = std::max(i, 0);
    });
    connect(rgFS, &QButtonGroup::idClicked, this, [this](int id) {
        if (card_)
            card_->Fs = id;
    });
    connect(rbPNL, &QRadioButton::clicked, this, [this] {
        card_->LgotaPN = 0;
        ShowTaxChoice();
    });
    connect(rbPNF, &QRadioButton::clicked, this, [this] {
        card_->LgotaPN = 1.0;
        ShowTaxChoice();
    });
    connect(rbPNC, &QRadioButton::clicked, this, [this] { ShowTaxChoice(); });
    connect(btCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(btSave, &QPushButton::clicked, this, [this] { done(mrOk); });
}

TFormNewEmploy::~TFormNewEmploy() = default;

QWidget* TFormNewEmploy::MakePage(const QString& title)
{
    // The base's first page is the name page.
    const bool first = tabFirst->layout() == nullptr;
    QWidget* page = first ? tabFirst : new QWidget;
    auto* form = new QFormLayout(page);
    auto* caption = new QLabel(title, page);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    form->addRow(caption);
    if (!first)
        AddPage(page);
    return page;
}

void TFormNewEmploy::FillCombos() { FillCardCombos(*ctgrs_, *users_, cbCtgr, cbCUser, cbTipPN, cbCalendar, cbKSop); }

void TFormNewEmploy::InitWizard()
{
    card_ = std::make_unique<T_xTabn>(DNList());
    card_->SetDate(Cfg.Workdate);
    card_->SetTabNum(0);
    reserved_ = 0;
    lbHeader->setText(headerText_);
    edFio->clear();
    edOrder->SetValue(0);
    edDateOrder->setDate(ToQDate(Date()));
    edDateBeg->setDate(ToQDate(Date()));
    edTabNum->SetValue(0);
    edSTabNum->clear();
    edPodr->clear();
    edPost->clear();
    gbPost->setEnabled(false);
    FillCombos();
    // Every combo on its first item, with its change handler run.
    for (QComboBox* combo : {cbCUser, cbCtgr, cbTipPN, cbCalendar}) {
        combo->setCurrentIndex(-1);
        combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
    }
    cbKSop->setCurrentIndex(-1);
    cbKSop->setCurrentIndex(card_->Ksop);
    for (Tyq_CustomNumEdit* e : std::initializer_list<Tyq_CustomNumEdit*>{edOkl, edAvan, edVychet, edMinZarp, edVsego,
             edPNPay, edPNSumTo, edPNSumAll, edPNMesAll, edPNDopOsv, edPNKolMinZp, edPNSumOsv})
        e->SetValue(0);
    lbMin->setText(QStringLiteral("0"));
    lbMax->setText(QStringLiteral("0"));
    lbVacancy->setText(QStringLiteral("0"));
    card_->LgotaPN = 1.0;
    rbPNF->setChecked(true);
    ShowTaxChoice();
    if (QAbstractButton* fs = rgFS->button(card_->Fs))
        fs->setChecked(true);
    mmComment->clear();
    GoFirstPage();
    edFio->setFocus();
    edFio->selectAll();
}

void TFormNewEmploy::ShowTaxChoice()
{
    edPNLgota->SetValue((1 - card_->LgotaPN) * 100);
    edPNLgota->setEnabled(rbPNC->isChecked());
}

bool TFormNewEmploy::NumberUsed(qint32 n)
{
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    return sr.FindKey({Variant(n)}) || HasArchivedEntries(n);
}

void TFormNewEmploy::NextNumber()
{
    ReleaseNumber();
    qint32 n = std::max(edTabNum->Value() + 1, 1);
    while (NumberUsed(n))
        ++n;
    edTabNum->SetValue(n);
    card_->SetTabNum(n);
}

void TFormNewEmploy::PrevNumber()
{
    ReleaseNumber();
    const qint32 current = edTabNum->Value();
    if (current <= 0) {
        ShowError(QStringLiteral("Не может быть меньше 0"));
        return;
    }
    qint32 n = current - 1;
    while (n >= 1 && NumberUsed(n))
        --n;
    n = std::max(n, 0);
    edTabNum->SetValue(n);
    card_->SetTabNum(n);
}

void TFormNewEmploy::ReleaseNumber()
{
    if (reserved_ == 0)
        return;
    // Whatever the card's number is now: the reserved row must go.
    T_xTabn placeholder(DNList());
    placeholder.SetTabNum(reserved_);
    placeholder.DeleteFromBase();
    reserved_ = 0;
}

void TFormNewEmploy::ReserveNumber()
{
    const qint32 n = card_->TabNum();
    if (n == reserved_)
        return;
    ReleaseNumber();
    if (n <= 0)
        return;
    // A plain insert: an existing number fails as a duplicate key and is
    // never written over.
    T_xTabn placeholder(DNList());
    placeholder.SetTabNum(n);
    placeholder.SetDate(Cfg.Workdate);
    placeholder.Fio = card_->Fio;
    placeholder.New = true;
    try {
        placeholder.Save();
    } catch (const EKeyViolation&) {
        // Only a number that is there already is taken; any other failure
        // (a lock, a full disk) passes as what it is.
        RaiseError(QStringLiteral("Номер уже захвачен"));
    }
    reserved_ = n;
}

bool TFormNewEmploy::TabNomerTaken(const QString& tabNomer) const
{
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    for (sr.First(); !sr.Eof(); sr.Next())
        if (sr.FieldByName(QStringLiteral("TABNOMER")).AsString().trimmed() == tabNomer
            && sr.FieldByName(QStringLiteral("TABNUM")).AsInteger() != card_->TabNum())
            return true;
    return false;
}

bool TFormNewEmploy::CanChangePage(int from, int, bool backMove)
{
    bool ok = false;
    RunGuarded([&] {
        if (backMove) {
            if (from == pgTN)
                lbHeader->setText(headerText_);
            ok = true;
            return;
        }
        switch (from) {
        case pgFio: {
            const QString name = edFio->text().trimmed();
            if (name.isEmpty())
                RaiseError(QStringLiteral("Введите фамилию"));
            lbHeader->setText(name);
            card_->Fio = name;
            card_->Order = edOrder->Value();
            card_->DateRecept = FromQDate(edDateBeg->date());
            card_->DateRelease = 0;
            card_->DateBeg = std::max<TDateTime>(card_->DateRecept, Date());
            break;
        }
        case pgTN: {
            card_->SetTabNum(edTabNum->Value());
            if (card_->TabNum() < 0)
                RaiseError(QStringLiteral("Номер не может быть отрицательным"));
            ReserveNumber();
            const QString tabNomer = edSTabNum->text().trimmed();
            edSTabNum->setText(tabNomer);
            if (cbCheckSTabNum->isChecked() && !tabNomer.isEmpty() && TabNomerTaken(tabNomer))
                RaiseError(QStringLiteral("Табельный номер предприятия уже существует"));
            card_->TabNomer = tabNomer;
            break;
        }
        case pgPodr: {
            if (card_->Podr <= 0)
                RaiseError(QStringLiteral("Не определено подразделение"));
            QStringList missing;
            if (card_->Post <= 0)
                missing << QStringLiteral("Не определена должность");
            if (card_->Ctgr <= 0)
                missing << QStringLiteral("Не определена категория");
            if (!missing.isEmpty())
                ShowWarning(missing.join(QStringLiteral("\r\n")));
            break;
        }
        case pgKso: RequireNotNegative(edOkl->Value(), FieldCaption(edOkl)); break;
        case pgPN:
            if (rbPNC->isChecked()) {
                const double percent = edPNLgota->Value();
                if (percent < 0 || percent > 100)
                    RaiseError(QStringLiteral("Льгота должна быть от 0 до 100 %"));
                card_->LgotaPN = 1 - percent / 100;
            }
            break;
        default: break;
        }
        ok = true;
    });
    return ok;
}

void TFormNewEmploy::ChoosePodr()
{
    const qint32 podr
        = SelectPodr(card_->Podr, QStringLiteral("Укажите подразделение, где будет работать\r\n") + card_->Fio);
    if (podr <= 0)
        return;
    card_->Podr = podr;
    card_->Post = 0;
    card_->Ctgr = 0;
    T_Podr* p = PNList() ? PNList()->FindPodr(podr) : nullptr;
    edPodr->setText(p ? p->GetName() : QStringLiteral("???"));
    gbPost->setEnabled(true);
    edPost->clear();
    cbCtgr->setCurrentIndex(-1);
}

void TFormNewEmploy::ChoosePost()
{
    qint32 num = 0;
    T_Staff staff;
    if (!SelectStaff(card_->Podr, num, &staff))
        return;
    edPost->setText(staff.PostName);
    card_->Post = staff.Post;
    lbMin->setText(FloatToStr(staff.RateMin));
    lbMax->setText(FloatToStr(staff.RateMax));
    const qint32 free = staff.Vacancy - staff.VacBusy;
    lbVacancy->setText(QString::number(free));
    if (free < 1)
        ShowError(QStringLiteral("Нет свободных вакансий"));
    cbKSop->setCurrentIndex(staff.Ksop);
    cbCtgr->setCurrentIndex(cbCtgr->findData(QVariant::fromValue(qint64(staff.Ctgr))));
    card_->Ctgr = staff.Ctgr;
}

void TFormNewEmploy::SaveNewEmployee(bool noAsk)
{
    if (!noAsk && !AskSaveChanges(QStringLiteral("\"") + card_->Fio + QStringLiteral("\"")))
        return;
    T_xTabn& c = *card_;
    c.Okl = Money(edOkl).ToDouble();
    c.Avan = Money(edAvan).ToDouble();
    c.Vychet = Money(edVychet).ToDouble();
    c.MinZarp = edMinZarp->Value();
    // Not calculated yet: no calculation date.
    c.DateRas = 0;
    c.Sum = Money(edVsego).ToDouble();
    c.SetComment(mmComment->toPlainText());
    T_TabnDopList& totals = c.MonthTotals();
    const Currency vsego = Money(edVsego);
    totals.SetValues(dnVsego, 8.2, vsego, 0);
    totals.SetValues(dnNachis, 170.2, vsego, 0);
    totals.SetValues(dnPNPay, 0, Money(edPNPay), 0);
    totals.SetValues(dnPNSumTo, 0, Money(edPNSumTo), 0);
    totals.SetValues(dnPNSumAll, edPNMesAll->Value(), Money(edPNSumAll), 0);
    totals.SetValues(dnPNDopOsv, edPNKolMinZp->Value(), Money(edPNDopOsv), 0);
    totals.SetValues(dnPNSumOsv, 0, Money(edPNSumOsv), 0);
    if (c.TabNum() == 0)
        c.SetTabNum(-1);
    // The reserved row is the employee's own; any other number is new.
    c.New = reserved_ == 0 || reserved_ != c.TabNum();
    if (c.New)
        ReleaseNumber();
    c.Save();
    reserved_ = 0;
    saved_ = c.TabNum();
}

void TFormNewEmploy::done(int result)
{
    if (closing_)
        return;
    bool close = true;
    RunGuarded([&] {
        if (result == mrOk) {
            const int answer = ChooseButton(QStringLiteral("Сохранить изменения"), QString(),
                {Variant(3), Variant(QStringLiteral("Да")), Variant(QStringLiteral("Нет")),
                    Variant(QStringLiteral("Вернуться"))});
            close = false;
            if (answer == 1)
                SaveNewEmployee(true);
            else if (answer == 2) {
                ReleaseNumber();
                result = mrCancel;
            } else
                return;
            close = true;
        } else {
            ReleaseNumber();
        }
    });
    if (!close)
        return;
    closing_ = true;
    TFormMultyPage::done(result);
    closing_ = false;
}

void TFormNewEmploy::showEvent(QShowEvent* event)
{
    TFormMultyPage::showEvent(event);
    // A window restored from the task bar is shown again by the window
    // system: what the clerk typed (and the number reserved) stays.
    if (!event->spontaneous())
        RunGuarded([this] { InitWizard(); });
}

void TFormNewEmploy::hideEvent(QHideEvent* event)
{
    TFormMultyPage::hideEvent(event);
    if (!event->spontaneous()) // minimised, not closed
        card_.reset();
}
