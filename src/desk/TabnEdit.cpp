#include "desk/TabnEdit.h"

#include "calc/PN.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/Calendar.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/PostList.h"
#include "data/Rights.h"
#include "data/Staff.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "data/UserList.h"
#include "data/ui/DpSelect.h"
#include "data/ui/FormPlacement.h"
#include "data/ui/InVvod.h"
#include "db/Cursor.h"
#include "desk/Main.h"
#include "desk/SprStaff.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/edits/ComboEdit.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/FieldValues.h"
#include "foundation/ui/edits/NumEdit.h"
#include "foundation/ui/grids/DBGrid.h"
#include "platform/Clock.h"
#include "platform/SysUtils.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

QString DateText(TDateTime d) { return d < 1 ? QString() : DateToStr(d); }

// A date still being typed is read as it stands; an empty one is no date.
TDateTime TypedValue(Tyq_DateEdit* edit)
{
    edit->CommitTyped();
    return edit->Value();
}

QScrollArea* ScrollPage(QWidget* page, QWidget* inner)
{
    auto* area = new QScrollArea(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(inner);
    auto* lay = new QVBoxLayout(page);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(area);
    return area;
}

void FillCombo(QComboBox* combo, const TStringItems& items)
{
    combo->clear();
    for (const TStringItem& item : items)
        combo->addItem(item.Text, QVariant::fromValue(item.Object));
}

} // namespace

void AddPayRow(QFormLayout* form, Tyq_CurrencyEdit* okl, QComboBox* ksop)
{
    QWidget* parent = okl->parentWidget();
    auto* caption = new QLabel(QStringLiteral("Оклад"), parent);
    caption->setObjectName(QStringLiteral("lbOkl"));
    auto* unit = new QLabel(parent);
    unit->setObjectName(QStringLiteral("lbOklUnit"));
    auto* row = new QHBoxLayout;
    row->addWidget(okl, 1);
    row->addWidget(unit);
    form->addRow(caption, row);
    const auto show = [caption, unit, okl, ksop] {
        // An hourly rate is kept in kopecks: no ruble sign in the field.
        okl->SetDisplayFormat(
            ksop->currentIndex() <= 0 ? Tyq_CurrencyEdit::CurrencyDisplayFormat() : QStringLiteral(",0.00"));
        okl->update();
        if (ksop->currentIndex() <= 0) {
            caption->setText(QStringLiteral("Оклад"));
            unit->setText(QStringLiteral("руб. в месяц"));
            return;
        }
        QString typed = okl->text();
        typed.remove(QLatin1Char(' ')).replace(QLatin1Char(','), QLatin1Char('.'));
        caption->setText(QStringLiteral("Тариф"));
        unit->setText(QStringLiteral("коп. в час = ") + FormatMoney(typed.toDouble() / 100) + QStringLiteral(" руб."));
    };
    QObject::connect(ksop, &QComboBox::currentIndexChanged, caption, show);
    QObject::connect(okl, &QLineEdit::textChanged, caption, show);
    show();
}

void FillCardCombos(T_CtgrList& ctgrs, T_UserList& users, QComboBox* ctgr, QComboBox* user, QComboBox* tipPN,
    QComboBox* calendar, QComboBox* ksop)
{
    ctgrs.Load();
    users.Load();
    TStringItems items;
    for (int i = 0; i < ctgrs.GetCount(); ++i)
        items.append({ctgrs.Item(i)->Naim, ctgrs.Item(i)->Num});
    FillCombo(ctgr, items);
    items.clear();
    for (int i = 0; i < users.GetCount(); ++i)
        items.append({users.Item(i)->Name, users.Item(i)->Num});
    FillCombo(user, items);
    items.clear();
    if (T_PxList* px = PxList())
        px->FillStrings(items);
    FillCombo(tipPN, items);
    items.clear();
    if (T_CalendarList* cl = CalendarList())
        cl->FillStrings(items);
    FillCombo(calendar, items);
    QStringList pay;
    FillPaySystems(pay);
    ksop->clear();
    ksop->addItems(pay);
}

std::function<bool(int& dopNum, const QString& title)>& TFormTabnEdit::DopPicker()
{
    static std::function<bool(int&, const QString&)> picker
        = [](int& dopNum, const QString& title) { return InputDopNum(title, dopNum); };
    return picker;
}

TFormTabnEdit::TFormTabnEdit(QWidget* parent)
    : TForm(parent, QStringLiteral("FormTabnEdit")),
      card_(std::make_unique<T_xTabn>(DNList())),
      posts_(std::make_unique<T_PostList>()),
      ctgrs_(std::make_unique<T_CtgrList>()),
      users_(std::make_unique<T_UserList>())
{
    if (parent) {
        // A child of the main window's page, not a window of its own.
        setWindowFlags(Qt::Widget);
        displayMode_ = tdmEmbedded;
    }
    resize(700, 480);
    SetKeyPreview(true);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 4);
    auto* head = new QHBoxLayout;
    lbNum = new QLabel(this);
    lbNum->setObjectName(QStringLiteral("lbNum"));
    lbName = new QLabel(this);
    lbName->setObjectName(QStringLiteral("lbName"));
    QFont bold = lbName->font();
    bold.setBold(true);
    lbNum->setFont(bold);
    lbName->setFont(bold);
    head->addWidget(lbNum);
    head->addWidget(lbName, 1);
    pnChange = new QWidget(this);
    auto* changeLay = new QHBoxLayout(pnChange);
    changeLay->setContentsMargins(0, 0, 0, 0);
    sbChange = new QToolButton(pnChange);
    sbChange->setObjectName(QStringLiteral("sbChange"));
    sbChange->setText(QStringLiteral("Изменить"));
    sbChange->setCheckable(true);
    changeLay->addWidget(sbChange);
    head->addWidget(pnChange);
    root->addLayout(head);

    pcSrCard = new QTabWidget(this);
    pcSrCard->setObjectName(QStringLiteral("pcSrCard"));
    root->addWidget(pcSrCard, 1);

    BuildBase();
    BuildPN();
    BuildDops();
    BuildMovie();

    connect(sbChange, &QToolButton::clicked, this, guarded([this](bool on) {
        sbChange->setChecked(editMode_);
        SetEditMode(on);
    }));
    SetPanelsEnabled(false);
    ShowCaption();
}

TFormTabnEdit::~TFormTabnEdit() = default;

void TFormTabnEdit::BuildBase()
{
    tabBase = new QWidget;
    tabBase->setObjectName(QStringLiteral("tabBase"));
    auto* inner = new QWidget;
    sbBase = ScrollPage(tabBase, inner);
    auto* cols = new QHBoxLayout(inner);
    auto* left = new QFormLayout;
    auto* right = new QFormLayout;
    cols->addLayout(left, 1);
    cols->addLayout(right, 1);

    edFio = new QLineEdit(inner);
    edFio->setObjectName(QStringLiteral("edFio"));
    edFio->setMaxLength(60);
    left->addRow(QStringLiteral("Ф.И.О."), edFio);
    edTabNomer = new QLineEdit(inner);
    edTabNomer->setObjectName(QStringLiteral("edTabNomer"));
    edTabNomer->setMaxLength(10);
    left->addRow(QStringLiteral("Табельный номер предприятия"), edTabNomer);
    edDateRecept = MakeDateEdit(inner, "edDateRecept");
    left->addRow(QStringLiteral("Дата приема"), edDateRecept);
    edOrderRecept = new Tyq_IntegerEdit(inner);
    edOrderRecept->setObjectName(QStringLiteral("edOrderRecept"));
    left->addRow(QStringLiteral("№ приказа о приеме"), edOrderRecept);
    edDateBeg = MakeDateEdit(inner, "edDateBeg");
    left->addRow(QStringLiteral("Дата начала работы"), edDateBeg);
    edDateRelease = MakeDateEdit(inner, "edDateRelease");
    left->addRow(QStringLiteral("Дата увольнения"), edDateRelease);
    edOrderRelease = new QLineEdit(inner);
    edOrderRelease->setObjectName(QStringLiteral("edOrderRelease"));
    edOrderRelease->setReadOnly(true);
    left->addRow(QStringLiteral("№ приказа об увольнении"), edOrderRelease);
    edPost = new Tyq_ComboEdit(inner);
    edPost->setObjectName(QStringLiteral("edPost"));
    edPost->SetDirectInput(false);
    left->addRow(QStringLiteral("Должность"), edPost);
    cbCtgr = new QComboBox(inner);
    cbCtgr->setObjectName(QStringLiteral("cbCtgr"));
    left->addRow(QStringLiteral("Категория"), cbCtgr);
    cbCUser = new QComboBox(inner);
    cbCUser->setObjectName(QStringLiteral("cbCUser"));
    left->addRow(QStringLiteral("Расчетчик"), cbCUser);

    cbKSop = new QComboBox(inner);
    cbKSop->setObjectName(QStringLiteral("cbKSop"));
    right->addRow(QStringLiteral("Система оплаты"), cbKSop);
    edOkl = new Tyq_CurrencyEdit(inner);
    edOkl->setObjectName(QStringLiteral("edOkl"));
    AddPayRow(right, edOkl, cbKSop);
    edAvan = new Tyq_CurrencyEdit(inner);
    edAvan->setObjectName(QStringLiteral("edAvan"));
    right->addRow(QStringLiteral("Аванс"), edAvan);
    cbCalendar = new QComboBox(inner);
    cbCalendar->setObjectName(QStringLiteral("cbCalendar"));
    right->addRow(QStringLiteral("Календарь"), cbCalendar);
    edSum = new Tyq_CurrencyEdit(inner);
    edSum->setObjectName(QStringLiteral("edSum"));
    edSum->setReadOnly(true);
    right->addRow(QStringLiteral("К выдаче"), edSum);
    lbDateRas = new QLabel(inner);
    lbDateRas->setObjectName(QStringLiteral("lbDateRas"));
    right->addRow(QStringLiteral("Дата расчета"), lbDateRas);
    cbTipPN = new QComboBox(inner);
    cbTipPN->setObjectName(QStringLiteral("cbTipPN"));
    right->addRow(QStringLiteral("Таблица налога"), cbTipPN);
    edVychet = new Tyq_FloatEdit(inner);
    edVychet->setObjectName(QStringLiteral("edVychet"));
    right->addRow(QStringLiteral("Льгота суммой"), edVychet);
    edMinZarp = new Tyq_IntegerEdit(inner);
    edMinZarp->setObjectName(QStringLiteral("edMinZarp"));
    right->addRow(QStringLiteral("Дополнительно мин.з/п"), edMinZarp);

    auto* pn = new QGroupBox(QStringLiteral("Подоходный налог"), inner);
    auto* pnLay = new QVBoxLayout(pn);
    rbPNF = new QRadioButton(QStringLiteral("Полный налог"), pn);
    rbPNF->setObjectName(QStringLiteral("rbPNF"));
    rbPNL = new QRadioButton(QStringLiteral("Освобожден от налога"), pn);
    rbPNL->setObjectName(QStringLiteral("rbPNL"));
    rbPNC = new QRadioButton(QStringLiteral("Льгота (%)"), pn);
    rbPNC->setObjectName(QStringLiteral("rbPNC"));
    edPNLgota = new Tyq_FloatEdit(pn);
    edPNLgota->setObjectName(QStringLiteral("edPNLgota"));
    pnLay->addWidget(rbPNF);
    pnLay->addWidget(rbPNL);
    auto* lgRow = new QHBoxLayout;
    lgRow->addWidget(rbPNC);
    lgRow->addWidget(edPNLgota);
    pnLay->addLayout(lgRow);
    right->addRow(pn);

    auto* fs = new QGroupBox(QStringLiteral("Признак FS"), inner);
    auto* fsLay = new QHBoxLayout(fs);
    rgFS = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        auto* rb = new QRadioButton(QString::number(i), fs);
        rb->setObjectName(QStringLiteral("rgFS%1").arg(i));
        rgFS->addButton(rb, i);
        fsLay->addWidget(rb);
    }
    right->addRow(fs);
    pcSrCard->addTab(tabBase, QStringLiteral("Основные"));

    tabDop = new QWidget;
    tabDop->setObjectName(QStringLiteral("tabDop"));
    auto* dopInner = new QWidget;
    sbDop = ScrollPage(tabDop, dopInner);
    auto* dopLay = new QVBoxLayout(dopInner);
    dopLay->addWidget(new QLabel(QStringLiteral("Адрес, телефон, примечания"), dopInner));
    mmComment = new QPlainTextEdit(dopInner);
    mmComment->setObjectName(QStringLiteral("mmComment"));
    dopLay->addWidget(mmComment, 1);
    pcSrCard->addTab(tabDop, QStringLiteral("Дополнительно"));

    connect(edFio, &QLineEdit::textEdited, this, guarded([this] {
        if (loading_)
            return;
        card_->Fio = edFio->text();
        ShowCaption();
    }));
    auto onCombo = [this](QComboBox* combo, auto apply) {
        connect(combo, &QComboBox::activated, this, guarded([this, combo, apply] {
            if (loading_)
                return;
            apply(combo->currentData().toLongLong(), combo->currentIndex());
        }));
    };
    onCombo(cbCtgr, [this](qint64 v, int) { card_->Ctgr = qint32(v); });
    onCombo(cbTipPN, [this](qint64 v, int) { card_->SpnTabl = qint32(v); });
    onCombo(cbKSop, [this](qint64, int i) { card_->Ksop = i; });
    onCombo(cbCUser, [this](qint64 v, int) { card_->CUser = qint32(v); });
    onCombo(cbCalendar, [this](qint64 v, int) { card_->Calendar = qint32(v); });
    connect(rbPNL, &QRadioButton::clicked, this, guarded([this] {
        card_->LgotaPN = 0;
        ShowTaxChoice();
    }));
    connect(rbPNF, &QRadioButton::clicked, this, guarded([this] {
        card_->LgotaPN = 1.0;
        ShowTaxChoice();
    }));
    connect(rbPNC, &QRadioButton::clicked, this, guarded([this] { ShowTaxChoice(); }));
    edPost->OnButtonClick = guarded([this] {
        qint32 num = 0;
        T_Staff staff;
        if (!SelectStaff(card_->Podr, num, &staff))
            return;
        card_->Post = staff.Post;
        card_->Ctgr = staff.Ctgr;
        edPost->setText(staff.PostName);
        SelectByObject(cbCtgr, staff.Ctgr);
    });
}

void TFormTabnEdit::BuildPN()
{
    tabPN = new QWidget;
    tabPN->setObjectName(QStringLiteral("tabPN"));
    auto* inner = new QWidget;
    sbPN = ScrollPage(tabPN, inner);
    auto* form = new QFormLayout(inner);
    auto money = [inner](const char* name) {
        auto* e = new Tyq_CurrencyEdit(inner);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    edPNPay = money("edPNPay");
    edPNSumTo = money("edPNSumTo");
    edPNSumAll = money("edPNSumAll");
    edPNMesAll = new Tyq_IntegerEdit(inner);
    edPNMesAll->setObjectName(QStringLiteral("edPNMesAll"));
    edPNDopOsv = money("edPNDopOsv");
    edPNKolMinZp = new Tyq_IntegerEdit(inner);
    edPNKolMinZp->setObjectName(QStringLiteral("edPNKolMinZp"));
    edPNSumOsv = money("edPNSumOsv");
    form->addRow(QStringLiteral("Сумма выплаченного налога"), edPNPay);
    form->addRow(QStringLiteral("Сумма к налогообложению"), edPNSumTo);
    form->addRow(QStringLiteral("Сумма общего дохода с начала года"), edPNSumAll);
    form->addRow(QStringLiteral("Месяцев получения общего дохода"), edPNMesAll);
    form->addRow(QStringLiteral("Дополнительно освобожденная от налога сумма"), edPNDopOsv);
    form->addRow(QStringLiteral("Дополнительно мин.з/п"), edPNKolMinZp);
    form->addRow(QStringLiteral("Сумма, освобожденная от налога"), edPNSumOsv);
    pcSrCard->addTab(tabPN, QStringLiteral("Налог за прошлый месяц"));
}

void TFormTabnEdit::BuildDops()
{
    tabTabnDop = new QWidget;
    tabTabnDop->setObjectName(QStringLiteral("tabTabnDop"));
    auto* lay = new QVBoxLayout(tabTabnDop);
    barTabnDop = new QWidget(tabTabnDop);
    auto* bar = new QHBoxLayout(barTabnDop);
    bar->setContentsMargins(0, 0, 0, 0);
    auto button = [this, bar](const char* name, const QString& text) {
        auto* b = new QToolButton(barTabnDop);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        bar->addWidget(b);
        return b;
    };
    btAddDop = button("btAddDop", QStringLiteral("Добавить"));
    btChangeDop = button("btChangeDop", QStringLiteral("Изменить"));
    btDelDop = button("btDelDop", QStringLiteral("Удалить"));
    bar->addStretch(1);
    lay->addWidget(barTabnDop);
    lvd = new QTreeWidget(tabTabnDop);
    lvd->setObjectName(QStringLiteral("lvd"));
    lvd->setRootIsDecorated(false);
    lvd->setHeaderLabels({QStringLiteral("№"), QStringLiteral("Начисление"), QStringLiteral("Сумма"),
        QStringLiteral("С"), QStringLiteral("По")});
    lvd->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    lvd->header()->setStretchLastSection(false);
    lay->addWidget(lvd, 1);
    pcSrCard->addTab(tabTabnDop, QStringLiteral("Постоянные начисления"));

    connect(btAddDop, &QToolButton::clicked, this, guarded([this] { AddDop(); }));
    connect(btChangeDop, &QToolButton::clicked, this, guarded([this] { ChangeDop(); }));
    connect(btDelDop, &QToolButton::clicked, this, guarded([this] { DeleteDop(); }));
    connect(lvd, &QTreeWidget::itemDoubleClicked, this, guarded([this] {
        if (editMode_)
            ChangeDop();
    }));
}

void TFormTabnEdit::BuildMovie()
{
    tabMovie = new QWidget;
    tabMovie->setObjectName(QStringLiteral("tabMovie"));
    auto* lay = new QVBoxLayout(tabMovie);
    lay->setContentsMargins(0, 0, 0, 0);
    pnMovie = new QWidget(tabMovie);
    auto* inner = new QVBoxLayout(pnMovie);
    inner->setContentsMargins(0, 0, 0, 0);
    auto* split = new QSplitter(Qt::Vertical, pnMovie);
    // Read-only: SRD is written from the card's permanent list on save,
    // which would silently undo any edit made here.
    grSrh = new TDBGrid(split, QStringLiteral("grSrh"));
    grSrh->SetReadOnly(true);
    grSrd = new TDBGrid(split, QStringLiteral("grSrd"));
    grSrd->SetReadOnly(true);
    // The clerk reads the fields by their Russian names, not the tables' own.
    const auto columns = [](TDBGrid* grid, std::initializer_list<std::pair<const char*, const char*>> fields) {
        for (const auto& [field, title] : fields)
            grid->Columns().Add(QLatin1String(field), QString::fromUtf8(title));
    };
    columns(grSrh,
        {{"DATEBEG", "Дата"}, {"PODR", "Подразделение"}, {"OLDPODR", "Прежнее подразделение"}, {"POST", "Должность"},
            {"CTGR", "Категория"}, {"KSOP", "Система оплаты"}, {"OKL", "Оклад"}, {"FS", "Признак FS"},
            {"MINZARP", "Мин. ЗП"}, {"VYCHET", "Вычет"}, {"LGOTAPN", "Льгота ПН"}, {"CALENDAR", "Календарь"},
            {"SPNTABL", "Таблица ПН"}, {"ORDER", "Приказ"}, {"USER", "Пользователь"}});
    columns(grSrd,
        {{"DOPNUM", "Начисление"}, {"DATEBEG", "Начало"}, {"DATEEND", "Конец"}, {"SUM", "Сумма"}, {"PROC", "Процент"},
            {"USER", "Пользователь"}});
    inner->addWidget(split);
    lay->addWidget(pnMovie);
    pcSrCard->addTab(tabMovie, QStringLiteral("История"));
}

void TFormTabnEdit::FillLists()
{
    posts_->Load();
    FillCardCombos(*ctgrs_, *users_, cbCtgr, cbCUser, cbTipPN, cbCalendar, cbKSop);
}

void TFormTabnEdit::SelectByObject(QComboBox* combo, qint32 value)
{
    combo->setCurrentIndex(combo->findData(QVariant::fromValue(qint64(value))));
}

void TFormTabnEdit::ShowEmbedded(qint32 tabNum, bool editable)
{
    displayMode_ = tdmEmbedded;
    pnChange->setVisible(editable);
    if (tabNum != tabNum_)
        SetTabn(tabNum);
    else
        LoadCard();
}

void TFormTabnEdit::SetTabn(qint32 tabNum)
{
    if (tabNum == tabNum_)
        return;
    SetEditMode(false);
    tabNum_ = tabNum;
    LoadCard();
}

void TFormTabnEdit::LoadCard()
{
    if (tabNum_ > 0) {
        card_->SetTabNum(tabNum_);
        card_->SetDate(Cfg.Workdate);
        card_->Load();
    } else {
        card_ = std::make_unique<T_xTabn>(DNList());
    }
    permModified_ = false;
    loading_ = true;
    try {
        FillLists();
        ShowFields();
    } catch (...) {
        loading_ = false;
        throw;
    }
    loading_ = false;
    RefreshDops();
    OpenHistory();
}

void TFormTabnEdit::ShowCaption()
{
    const QString num = tabNum_ > 0 ? QString::number(tabNum_) : QString();
    const QString name = tabNum_ > 0 ? card_->GetFio() : QString();
    setWindowTitle(QStringLiteral("Карточка работника:  [") + num + QStringLiteral("]  ") + name);
    lbNum->setText(QStringLiteral("[") + num + QStringLiteral("]"));
    lbName->setText(name);
}

void TFormTabnEdit::ShowFields()
{
    const T_xTabn& c = *card_;
    ShowCaption();
    edFio->setText(c.Fio);
    edTabNomer->setText(c.TabNomer);
    edDateBeg->SetValue(c.DateBeg);
    edDateRecept->SetValue(c.DateRecept);
    edDateRelease->SetValue(c.DateRelease);
    edOrderRecept->SetValue(c.Order);
    edOrderRelease->setText(c.OrderRel != 0 ? QString::number(c.OrderRel) : QString());
    const int post = posts_->IndexOfNum(c.Post);
    edPost->setText(post < 0 ? QStringLiteral("???") : posts_->Item(post)->Naim);
    SelectByObject(cbCUser, c.CUser);
    SelectByObject(cbCtgr, c.Ctgr);
    SelectByObject(cbTipPN, c.SpnTabl);
    edVychet->SetValue(c.Vychet);
    edMinZarp->SetValue(c.MinZarp);
    lbDateRas->setText(DateText(c.DateRas));
    edSum->SetValue(c.Sum);
    edOkl->SetValue(c.Okl);
    edAvan->SetValue(c.Avan);
    cbKSop->setCurrentIndex(c.Ksop);
    SelectByObject(cbCalendar, c.Calendar);
    if (c.LgotaPN < 0.00001)
        rbPNL->setChecked(true);
    else if (c.LgotaPN < 0.99999)
        rbPNC->setChecked(true);
    else
        rbPNF->setChecked(true);
    ShowTaxChoice();
    if (QAbstractButton* fs = rgFS->button(c.Fs))
        fs->setChecked(true);
    else if (rgFS->checkedButton()) {
        rgFS->setExclusive(false);
        rgFS->checkedButton()->setChecked(false);
        rgFS->setExclusive(true);
    }
    mmComment->setPlainText(c.Comment());

    T_TabnDopList& totals = card_->MonthTotals();
    auto show = [&totals](qint32 dopNum, Tyq_CurrencyEdit* sum, Tyq_IntegerEdit* time) {
        double t = 0, proc = 0;
        Currency s;
        totals.GetValues(dopNum, t, s, proc);
        sum->SetValue(s.ToDouble());
        if (time)
            time->SetValue(int(std::trunc(t)));
    };
    show(dnPNPay, edPNPay, nullptr);
    show(dnPNSumTo, edPNSumTo, nullptr);
    show(dnPNSumAll, edPNSumAll, edPNMesAll);
    show(dnPNDopOsv, edPNDopOsv, edPNKolMinZp);
    show(dnPNSumOsv, edPNSumOsv, nullptr);
}

void TFormTabnEdit::ShowTaxChoice()
{
    edPNLgota->SetValue((1 - card_->LgotaPN) * 100);
    const bool on = rbPNC->isChecked();
    edPNLgota->setEnabled(on);
    QPalette pal = edPNLgota->palette();
    pal.setColor(QPalette::Base, on ? palette().color(QPalette::Base) : palette().color(QPalette::Button));
    edPNLgota->setPalette(pal);
}

QString TFormTabnEdit::DopName(qint32 dopNum) const
{
    if (T_Dop* dop = DNList()->FindDop(dopNum))
        return dop->GetName();
    return Format(QStringLiteral("Начисление №%s в справочнике не найдено"), dopNum);
}

QString TFormTabnEdit::DopCellText(int row, int column) const
{
    T_TabnDopList& perm = card_->Permanent();
    if (row < 0 || row >= perm.GetCount())
        return column == 0 ? QStringLiteral("??? ") + QString::number(row) : QString();
    T_TabnDop* e = perm.GetTabnDop(row);
    switch (column) {
    case 0: return QString::number(e->DopNum);
    case 1: return DopName(e->DopNum);
    case 2: return FloatToStr(e->Sum.ToDouble());
    case 3: return e->DateBeg < 1 ? QStringLiteral("-") : DateToStr(e->DateBeg);
    default: return e->DateEnd < 1 ? QStringLiteral("-") : DateToStr(e->DateEnd);
    }
}

void TFormTabnEdit::RefreshDops()
{
    const int current = lvd->currentItem() ? lvd->indexOfTopLevelItem(lvd->currentItem()) : 0;
    lvd->clear();
    const int count = card_->Permanent().GetCount();
    for (int row = 0; row < count; ++row) {
        auto* item = new QTreeWidgetItem(lvd);
        for (int col = 0; col < 5; ++col)
            item->setText(col, DopCellText(row, col));
        if (const T_Dop* dop = DNList()->FindDop(card_->Permanent().GetTabnDop(row)->DopNum))
            item->setIcon(0, DopImage(GetDopImageIndex(dop, false)));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (count > 0)
        lvd->setCurrentItem(lvd->topLevelItem(qBound(0, current, count - 1)));
}

void TFormTabnEdit::OpenHistory()
{
    grSrh->SetDataSet(nullptr);
    grSrd->SetDataSet(nullptr);
    srh_.reset();
    srd_.reset();
    if (tabNum_ <= 0)
        return;
    auto open = [this](const QString& table) {
        auto cur = std::make_unique<Cursor>(table);
        cur->SetIndexName(QStringLiteral("TABNUM"));
        cur->Open();
        cur->SetRange({Variant(tabNum_)}, {Variant(tabNum_)});
        return cur;
    };
    srh_ = open(QStringLiteral("SRH"));
    srd_ = open(QStringLiteral("SRD"));
    grSrh->SetDataSet(srh_.get());
    grSrd->SetDataSet(srd_.get());
}

void TFormTabnEdit::SetPanelsEnabled(bool on)
{
    sbBase->setEnabled(on);
    sbDop->setEnabled(on);
    sbPN->setEnabled(on);
    pnMovie->setEnabled(on);
    barTabnDop->setVisible(on);
}

void TFormTabnEdit::SetEditMode(bool on)
{
    if (!card_)
        return;
    const QList<QWidget*> fields{sbBase, sbDop, sbPN, pnMovie, lvd};
    if (on && !editMode_) {
        RequireOperation(opEditCard);
        entryState_ = EditState(fields);
    } else if (!on && editMode_) {
        const QString body = QStringLiteral("Табельный номер :") + QString::number(tabNum_) + QStringLiteral("\r\n\"")
            + card_->GetFio() + QStringLiteral("\"");
        // Asked only after a real change.
        if ((permModified_ || EditState(fields) != entryState_) && AskSaveChanges(body))
            SaveCard(); // a failure leaves edit mode on for the caller to see
        LoadCard();
    }
    editMode_ = on;
    SetPanelsEnabled(on);
    sbChange->setChecked(on);
    if (on && edFio->isVisible())
        edFio->setFocus();
}

bool TFormTabnEdit::LeaveEditMode()
{
    return RunGuarded([this] { SetEditMode(false); });
}

void TFormTabnEdit::SaveCard()
{
    T_xTabn& c = *card_;
    double lgota = c.LgotaPN;
    if (rbPNC->isChecked()) {
        const double percent = edPNLgota->Value();
        if (percent < 0 || percent > 100)
            RaiseError(QStringLiteral("Льгота должна быть от 0 до 100 %"));
        lgota = 1 - percent / 100;
    }
    const TDateTime dateBeg = TypedValue(edDateBeg);
    const TDateTime dateRecept = TypedValue(edDateRecept);
    const TDateTime dateRelease = TypedValue(edDateRelease);
    RequireNotNegative(edOkl->Value(), FieldCaption(edOkl));
    c.Fio = edFio->text();
    c.TabNomer = edTabNomer->text();
    c.DateBeg = dateBeg;
    c.DateRecept = dateRecept;
    c.DateRelease = dateRelease;
    c.Order = edOrderRecept->Value();
    c.Vychet = Currency::FromDouble(edVychet->Value()).ToDouble();
    c.MinZarp = edMinZarp->Value();
    c.Okl = Currency::FromDouble(edOkl->Value()).ToDouble();
    c.Avan = Currency::FromDouble(edAvan->Value()).ToDouble();
    c.LgotaPN = lgota;
    if (rgFS->checkedId() >= 0)
        c.Fs = rgFS->checkedId();
    if (mmComment->toPlainText() != c.Comment())
        c.SetComment(mmComment->toPlainText());
    T_TabnDopList& totals = c.MonthTotals();
    totals.SetValues(dnPNPay, 0, Currency::FromDouble(edPNPay->Value()), 0);
    totals.SetValues(dnPNSumTo, 0, Currency::FromDouble(edPNSumTo->Value()), 0);
    totals.SetValues(dnPNSumAll, edPNMesAll->Value(), Currency::FromDouble(edPNSumAll->Value()), 0);
    totals.SetValues(dnPNDopOsv, edPNKolMinZp->Value(), Currency::FromDouble(edPNDopOsv->Value()), 0);
    totals.SetValues(dnPNSumOsv, 0, Currency::FromDouble(edPNSumOsv->Value()), 0);
    c.Save();
    PostPermanentToInput();
    permModified_ = false;
}

T_TabnDop* TFormTabnEdit::SelectedDop() const
{
    QTreeWidgetItem* item = lvd->currentItem();
    if (!item)
        return nullptr;
    const int row = lvd->indexOfTopLevelItem(item);
    T_TabnDopList& perm = card_->Permanent();
    return row >= 0 && row < perm.GetCount() ? perm.GetTabnDop(row) : nullptr;
}

void TFormTabnEdit::AddDop()
{
    int dopNum = 0;
    if (!DopPicker()(dopNum, QStringLiteral("Выберите начисление, которое нужно добавить к расчету")) || dopNum <= 0)
        return;
    if (T_TabnDop* existing = card_->Permanent().FindTabnDop(dopNum)) {
        EditPermanentEntry(existing);
    } else {
        T_TabnDop fresh(card_->TabNum(), DNList(), tdkPermanent);
        fresh.DopNum = dopNum;
        fresh.DateBeg = Date();
        fresh.RelinkDop();
        EditPermanentEntry(&fresh);
    }
    RefreshDops();
}

void TFormTabnEdit::ChangeDop()
{
    T_TabnDop* e = SelectedDop();
    if (!e) {
        ShowError(QStringLiteral("Не выбрано постоянное начисление"));
        return;
    }
    EditPermanentEntry(e);
    RefreshDops();
}

void TFormTabnEdit::DeleteDop()
{
    T_TabnDop* e = SelectedDop();
    if (!e) {
        ShowError(QStringLiteral("Не выбрано постоянное начисление"));
        return;
    }
    if (!ConfirmDelete(QStringLiteral("\"") + DopName(e->DopNum) + QStringLiteral("\""), QString()))
        return;
    card_->Permanent().FreeObject(e);
    RefreshDops();
}

void TFormTabnEdit::EditPermanentEntry(T_TabnDop* entry)
{
    T_TabnDopList& perm = card_->Permanent();
    T_TabnDop temp(card_->TabNum(), DNList(), tdkPermanent);
    temp.DopNum = entry->DopNum;
    temp.Sum = entry->Sum;
    temp.DTime = entry->DTime;
    temp.Proc = entry->Proc;
    temp.DateBeg = entry->DateBeg;
    temp.DateEnd = entry->DateEnd;
    temp.RelinkDop();
    if (!FormInSrDop().Execute(&temp))
        return;
    if (T_TabnDop* same = perm.FindTabnDop(temp.DopNum); same && same->Sum == temp.Sum && same->DTime == temp.DTime
        && same->Proc == temp.Proc && same->DateBeg == temp.DateBeg && same->DateEnd == temp.DateEnd)
        return;
    perm.SetValues(temp.DopNum, temp.DTime, temp.Sum, temp.Proc);
    // All-zero values remove the entry (or never make it): look it up again.
    T_TabnDop* stored = perm.FindTabnDop(temp.DopNum);
    if (!stored)
        return;
    stored->DateBeg = temp.DateBeg;
    stored->DateEnd = temp.DateEnd;
    permModified_ = true;
}

void TFormTabnEdit::PostPermanentToInput()
{
    if (!permModified_)
        return;
    if (!AskYesNo(QStringLiteral("Разнести измененные постоянные начисления во ввод ?"), QString(), true))
        return;
    const TDateTime workdate = Cfg.Workdate;
    T_TabnDopList input(DNList(), tdkInput);
    input.Date = workdate;
    input.SetTabn(card_->TabNum());
    T_TabnDopList& perm = card_->Permanent();
    for (int i = 0; i < perm.GetCount(); ++i) {
        const T_TabnDop* p = perm.GetTabnDop(i);
        input.SetValues(p->DopNum, p->DTime, p->Sum, p->Proc);
        if (T_TabnDop* e = input.FindTabnDop(p->DopNum)) {
            e->DateBeg = workdate;
            e->DateOp = workdate;
        }
    }
    input.SaveInput();
}

void TFormTabnEdit::CardsChanged(TObject* sender)
{
    // A dismissal, a deletion or a move leaves the card nobody to show.
    const auto* cards = dynamic_cast<const T_TNList*>(sender);
    if (!cards || !cards->FindTabn(tabNum_))
        tabNum_ = 0;
    LoadCard();
}

bool TFormTabnEdit::FormKeyDown(QKeyEvent* event)
{
    if (editMode_ && lvd->hasFocus()) {
        switch (event->key()) {
        case Qt::Key_Insert: RunGuarded([this] { AddDop(); }); return true;
        case Qt::Key_Delete: RunGuarded([this] { DeleteDop(); }); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: RunGuarded([this] { ChangeDop(); }); return true;
        default: break;
        }
    }
    return TForm::FormKeyDown(event);
}

void TFormTabnEdit::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (displayMode_ != tdmStandalone)
        return;
    RunGuarded([this] {
        RestoreFormPosition(this);
        pcSrCard->setCurrentIndex(0);
        SetEditMode(false);
        if (TFormMain* main = FormMain())
            cardsLink_ = TNotifyLink(&main->Cards().Notifications(), TNotifyEvent(this, &TFormTabnEdit::CardsChanged));
    });
}

void TFormTabnEdit::done(int result)
{
    cardsLink_.Reset();
    if (displayMode_ == tdmStandalone)
        SaveFormPosition(this);
    TForm::done(result);
}

TFormTabnEdit* ShowTabnCard(qint32 tabNum)
{
    if (tabNum < 1)
        tabNum = AppContext().LastTabNum;
    if (tabNum <= 0)
        return nullptr;
    AppContext().LastTabNum = tabNum;
    auto* form = new TFormTabnEdit();
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->SetTabn(tabNum);
    form->pnChange->hide();
    form->show();
    return form;
}
