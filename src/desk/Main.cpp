#include "desk/Main.h"
#include "calc/ui/AccrualEditors.h"
#include "calc/ui/EditFml.h"
#include "data/ui/Otl.h"
#include "desk/FontDlg.h"

#include "calc/RTabl.h"
#include "calc/TabnCalc.h"
#include "calc/ui/SprPx.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "data/ui/About.h"
#include "data/ui/DpSelect.h"
#include "data/ui/FormsVw.h"
#include "data/ui/InVvod.h"
#include "data/ui/PodrViews.h"
#include "data/ui/SrSelect.h"
#include "desk/Config.h"
#include "desk/MainOpeners.h"
#include "desk/PodrBook.h"
#include "desk/SprClndr.h"
#include "desk/SprPost.h"
#include "desk/SprStaff.h"
#include "foundation/DateFuncs.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/dialogs/TextView.h"
#include "foundation/ui/edits/DateEdit.h"
#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTextEdit>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <tuple>

namespace {

TFormMain* g_main = nullptr;

} // namespace

// ---------------------------------------------------------------- models

// The employees of the department: an empty first column, the number, the
// name, and in the dismissed view the department left.
class TFormMain::MainTabnModel : public QAbstractTableModel {
public:
    MainTabnModel(T_TNList* cards, QObject* parent) : QAbstractTableModel(parent), cards_(cards) {}
    void Reset()
    {
        beginResetModel();
        endResetModel();
    }
    void SetColumns(int n)
    {
        beginResetModel();
        columns_ = n;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : cards_->Count();
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : columns_;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= cards_->Count())
            return {};
        const T_Tabn* card = cards_->GetTabn(index.row());
        if (role == Qt::DisplayRole) {
            switch (index.column()) {
            case 1: return card->GetNumberText();
            case 2: return card->GetFio();
            case 3: return QString::number(card->Podr);
            default: return QString();
            }
        }
        if (role == Qt::TextAlignmentRole && index.column() == 3)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const QStringList names{
            QString(), QStringLiteral("Таб.№"), QStringLiteral("Фамилия И.О."), QStringLiteral("№ Подр.")};
        return names.value(section);
    }

private:
    T_TNList* cards_;
    int columns_ = 3;
};

// One of the four entry lists of the period page.
class TFormMain::DopListModel : public QAbstractTableModel {
public:
    DopListModel(T_TabnDopList* list, bool withTime, QObject* parent)
        : QAbstractTableModel(parent), list_(list), withTime_(withTime)
    {
    }
    void Reset()
    {
        beginResetModel();
        endResetModel();
    }
    T_TabnDopList* List() const { return list_; }
    void SetList(T_TabnDopList* list)
    {
        beginResetModel();
        list_ = list;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() || !list_ ? 0 : list_->Count();
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : (withTime_ ? 4 : 3);
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const int col = index.column();
        // The kind's image (accrual or deduction) before its number, as in the books.
        if (role == Qt::DecorationRole && col == 0 && list_ && index.row() < list_->Count())
            if (const T_Dop* dop = list_->GetTabnDop(index.row())->GetDop())
                return DopImage(GetDopImageIndex(dop, false));
        if (role != Qt::DisplayRole && role != Qt::TextAlignmentRole)
            return {};
        if (role == Qt::TextAlignmentRole)
            return col >= 2 ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
        if (!list_)
            return col == 1 ? QStringLiteral(" - ???") : QString();
        if (index.row() >= list_->Count())
            return col == 1 ? QStringLiteral("Ошибка размера") : QString();
        T_TabnDop* entry = list_->GetTabnDop(index.row());
        T_Dop* dop = entry->GetDop();
        if (col == 0)
            return dop ? dop->GetNumberText() : QString::number(entry->DopNum);
        if (col == 1)
            return dop ? dop->GetName() : QStringLiteral("(не найдено в справочнике)");
        if (withTime_ && col == 2)
            return entry->DTime == 0 ? QStringLiteral("-") : FormatShortFloat(entry->DTime);
        return FormatMoney(entry->Sum.ToDouble());
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        if (section == 0)
            return QStringLiteral("Номер");
        if (section == 1)
            return QStringLiteral("Наименование");
        if (withTime_ && section == 2)
            return QStringLiteral("Время");
        return QStringLiteral("Сумма");
    }

private:
    T_TabnDopList* list_;
    bool withTime_;
};

// ---------------------------------------------------------------- pages

VetoTabWidget::VetoTabWidget(QWidget* parent) : QTabWidget(parent)
{
    connect(this, &QTabWidget::currentChanged, this, guarded([this](int to) {
        if (reverting_ || to < 0)
            return;
        if (canLeave && to != last_ && !canLeave(last_, to)) {
            reverting_ = true;
            setCurrentIndex(last_);
            reverting_ = false;
            return;
        }
        last_ = to;
        if (changed)
            changed(to);
    }));
}

// ---------------------------------------------------------------- the window

TFormMain* FormMain() { return g_main; }

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormMain"));
    title_ = QStringLiteral("Qor - зарплата и кадры");
    headerText_ = QStringLiteral("Расчет заработной платы");
    tabnCountFormat_ = QStringLiteral("Работников  [%d]");
    setWindowTitle(title_);
    setMinimumSize(572, 444);
    g_main = this;
    RegisterObject(this);

    cards_ = std::make_unique<T_TNList>(PNList());
    tree_ = std::make_unique<T_PNTree>(PNList());
    T_DNList* dn = DNList();
    inputDops_ = std::make_unique<T_TabnDopList>(dn, tdkInput);
    inputUders_ = std::make_unique<T_TabnDopList>(dn, tdkInput);
    resultDops_ = std::make_unique<T_TabnDopList>(dn, tdkResults);
    resultUders_ = std::make_unique<T_TabnDopList>(dn, tdkResults);
    auto accruals = [](T_TabnDopList*, T_TabnDop* e, bool& accept) {
        T_Dop* dop = e->GetDop();
        accept = dop == nullptr || !dop->Uder;
    };
    auto deductions = [](T_TabnDopList*, T_TabnDop* e, bool& accept) {
        T_Dop* dop = e->GetDop();
        accept = dop != nullptr && dop->Uder;
    };
    inputDops_->OnFilter = accruals;
    inputUders_->OnFilter = deductions;
    resultDops_->OnFilter = [this](T_TabnDopList* s, T_TabnDop* e, bool& accept) { RoutReserved(s, e, accept); };
    resultUders_->OnFilter = deductions;

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* head = new QGridLayout;
    prgHeader = new QLabel(headerText_, central);
    prgHeader->setObjectName(QStringLiteral("prgHeader"));
    prgHeader->setAlignment(Qt::AlignCenter);
    head->addWidget(prgHeader, 0, 0);
    // The two buttons beside the menu items the clerk needs most often.
    auto* quick = new QHBoxLayout;
    for (const auto& [name, text, item] :
        {std::tuple{"sbRefresh", "Обновить", "mnRefresh"}, std::tuple{"sbDopl", "Допл.", "mnDopl"}}) {
        auto* b = Named(new QToolButton(central), name);
        b->setText(QString::fromUtf8(text));
        b->setAutoRaise(true);
        const QString menuItem = QLatin1String(item);
        connect(b, &QToolButton::clicked, this, guarded([this, menuItem] {
            if (QAction* a = Action(menuItem))
                a->trigger();
        }));
        quick->addWidget(b);
    }
    quick->addStretch();
    head->addLayout(quick, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
    // The logo opens the about box, as "О программе" does.
    imLogo = new QToolButton(central);
    imLogo->setObjectName(QStringLiteral("imLogo"));
    imLogo->setText(QStringLiteral("Qor"));
    imLogo->setToolTip(QStringLiteral("О программе"));
    imLogo->setAutoRaise(true);
    QFont logoFont = imLogo->font();
    logoFont.setBold(true);
    logoFont.setItalic(true);
    imLogo->setFont(logoFont);
    connect(imLogo, &QToolButton::clicked, this, guarded([this] { ShowAboutBox(this); }));
    head->addWidget(imLogo, 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    layout->addLayout(head);
    BuildDebugPanel(central);
    layout->addWidget(pnOtl);
    pcMain = new VetoTabWidget(central);
    pcMain->setObjectName(QStringLiteral("pcMain"));
    layout->addWidget(pcMain, 1);
    setCentralWidget(central);

    BuildMenu();
    BuildListPage();
    tabSrCard = new QWidget(pcMain);
    tabSrCard->setObjectName(QStringLiteral("tabSrCard"));
    auto* cardLayout = new QVBoxLayout(tabSrCard);
    cardLayout->setContentsMargins(0, 0, 0, 0);
    card_.reset(CreateCardPage(tabSrCard));
    cardLayout->addWidget(card_->Widget());
    pcMain->addTab(tabSrCard, QStringLiteral("Карточка"));
    BuildVvodPage();

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < 2; ++i) {
        auto* panel = new QLabel(status);
        panel->setObjectName(QStringLiteral("StatusBar%1").arg(i));
        panel->setMinimumWidth(80);
        status->addWidget(panel);
    }
    setStatusBar(status);

    UpdateMenuEnabled();
    pcMain->canLeave = [this](int from, int to) { return CanLeavePage(from, to); };
    pcMain->changed = [this](int to) { PageChanged(to); };
    pcVvod->changed = [this](int) { RefreshVvodPages(); };

    tree_->SetFilter(pfCurrent);
    cards_->OnChange = TNotifyEvent(this, &TFormMain::CardsChanged);
    cards_->SetFilter(tfWorking);
    SetViewDate(Cfg.Workdate);
    dtVvodDate->setDateRange(ToQDate(Cfg.BegDate), ToQDate(Cfg.Workdate));
    dtRasDate->setDateRange(ToQDate(Cfg.BegDate), ToQDate(Cfg.Workdate));
    inputDops_->OnChange = TNotifyEvent(this, &TFormMain::ListsChanged);
    inputUders_->OnChange = TNotifyEvent(this, &TFormMain::ListsChanged);
    resultDops_->OnChange = TNotifyEvent(this, &TFormMain::ResultsChanged);
    resultUders_->OnChange = TNotifyEvent(this, &TFormMain::ResultsChanged);
    PNList()->AddNotify(TNotifyEvent(this, &TFormMain::TreeChanged));
    FillTreeView(*tree_, tvp, 0, true);
    SetTNPositionProvider([] { return g_main ? g_main->CurTabn() : 0; });
    SetDataReplacedHook([] {
        if (g_main)
            g_main->DataReplaced();
    });
    Action(QStringLiteral("mnCalcMode"))->setChecked(true);

    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, guarded([this] { ClockTick(); }));
    timer_->start();
    qApp->installEventFilter(this);
    InstallMinimizeHandler(this);
    TrackWindowActivation();
    creating_ = false;
    running_ = true;
    const qint32 pos = Cfg.TNPosition;
    LocateTabn(pos);
    if (curPodr_ == 0 && tvp->currentItem())
        TreeSelected();
}

TFormMain::~TFormMain()
{
    qApp->removeEventFilter(this);
    timer_->stop();
    // The views read the lists: they go before the lists do.
    delete takeCentralWidget();
    SetTNPositionProvider({});
    SetDataReplacedHook({});
    if (PNList())
        PNList()->RemoveNotify(TNotifyEvent(this, &TFormMain::TreeChanged));
    cards_->OnChange = TNotifyEvent();
    for (T_TabnDopList* l : {inputDops_.get(), inputUders_.get(), resultDops_.get(), resultUders_.get()}) {
        l->OnChange = TNotifyEvent();
        l->OnFilter = {};
    }
    UnregisterObject(this);
    if (g_main == this)
        g_main = nullptr;
}

void TFormMain::BuildListPage()
{
    tabSR = new QWidget(pcMain);
    tabSR->setObjectName(QStringLiteral("tabSR"));
    auto* v = new QVBoxLayout(tabSR);
    v->setContentsMargins(2, 2, 2, 2);
    auto* bars = new QHBoxLayout;
    tbSrBase = new QToolBar(tabSR);
    tbSrBase->setObjectName(QStringLiteral("tbSrBase"));
    tbSrDel = new QToolBar(tabSR);
    tbSrDel->setObjectName(QStringLiteral("tbSrDel"));
    CoolBarSrSpr = new QToolBar(tabSR);
    CoolBarSrSpr->setObjectName(QStringLiteral("CoolBarSrSpr"));
    auto button = [this](QToolBar* bar, const QString& name, const QString& caption, std::function<void()> f) {
        QAction* a = bar->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, guarded(std::move(f)));
        actions_.insert(name, a);
    };
    button(tbSrBase, QStringLiteral("btNew"), QStringLiteral("Новый"), [this] { NewTabn(); });
    button(tbSrBase, QStringLiteral("btTransfer"), QStringLiteral("Перевести"), [this] { TransferTabn(); });
    button(tbSrBase, QStringLiteral("btReorder"), QStringLiteral("Переставить"), [this] { ReorderTabn(); });
    button(tbSrBase, QStringLiteral("btDismiss"), QStringLiteral("Уволить"), [this] { StaffOperation(11); });
    button(tbSrDel, QStringLiteral("btRestore"), QStringLiteral("Восстановить"), [this] { StaffOperation(12); });
    button(
        tbSrDel, QStringLiteral("btDelete"), QStringLiteral("Удалить из справочника"), [this] { StaffOperation(13); });
    button(CoolBarSrSpr, QStringLiteral("btCloseSpr"), QStringLiteral("Закрыть справочник"),
        [this] { SetCalcMode(true); });
    bars->addWidget(tbSrBase);
    bars->addWidget(tbSrDel);
    bars->addStretch();
    bars->addWidget(CoolBarSrSpr);
    v->addLayout(bars);
    tbSrBase->hide();
    tbSrDel->hide();
    CoolBarSrSpr->hide();

    auto* split = new QSplitter(tabSR);
    tvp = new QTreeWidget(split);
    tvp->setObjectName(QStringLiteral("tvp"));
    tvp->setHeaderHidden(true);
    lvt = new QTreeView(split);
    lvt->setObjectName(QStringLiteral("lvt"));
    lvt->setRootIsDecorated(false);
    lvt->setUniformRowHeights(true);
    lvt->setSelectionMode(QAbstractItemView::SingleSelection);
    lvt->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabnModel_ = new MainTabnModel(cards_.get(), lvt);
    lvt->setModel(tabnModel_);
    lvt->setColumnWidth(0, 16);
    lvt->setColumnWidth(1, 70);
    lvt->setColumnWidth(2, 260);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 360});
    v->addWidget(split, 1);
    connect(tvp, &QTreeWidget::currentItemChanged, this, guarded([this] { TreeSelected(); }));
    connect(lvt->selectionModel(), &QItemSelectionModel::currentRowChanged, this, guarded([this] { ListSelected(); }));
    connect(lvt->header(), &QHeaderView::sectionClicked, this, guarded([this](int col) {
        cards_->SetSortMode(col == 1 ? 1 : col == 2 ? 2 : 3);
    }));
    connect(lvt, &QTreeView::doubleClicked, this, guarded([this] { ShowPage(2); }));

    auto statusBar = [this](const QString& name, int panels) {
        auto* bar = new QStatusBar(tabSR);
        bar->setObjectName(name);
        bar->setSizeGripEnabled(false);
        for (int i = 0; i < panels; ++i) {
            auto* label = new QLabel(bar);
            label->setObjectName(name + QString::number(i));
            label->setMinimumWidth(i == 0 ? 60 : 140);
            bar->addWidget(label);
        }
        return bar;
    };
    auto* sbars = new QHBoxLayout;
    sBarPodr = statusBar(QStringLiteral("sBarPodr"), 2);
    sBarTabn = statusBar(QStringLiteral("sBarTabn"), 3);
    sbars->addWidget(sBarPodr);
    sbars->addWidget(sBarTabn, 1);
    v->addLayout(sbars);
    pcMain->addTab(tabSR, QStringLiteral("Состав"));
}

QTreeView* TFormMain::MakeDopView(const QString& name, T_TabnDopList* list, bool withTime, DopListModel*& model)
{
    auto* view = new QTreeView;
    view->setObjectName(name);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    model = new DopListModel(list, withTime, view);
    view->setModel(model);
    // The name takes what the number, the time and the sum leave: the sum
    // stays in sight in a window of the smallest size.
    view->header()->setStretchLastSection(false);
    view->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    view->setColumnWidth(0, 50);
    if (withTime)
        view->setColumnWidth(2, 50);
    view->setColumnWidth(withTime ? 3 : 2, 80);
    return view;
}

void TFormMain::BuildVvodPage()
{
    tabVvod = new QWidget(pcMain);
    tabVvod->setObjectName(QStringLiteral("tabVvod"));
    auto* v = new QVBoxLayout(tabVvod);
    v->setContentsMargins(2, 2, 2, 2);
    auto* top = new QHBoxLayout;
    cbVvPodr = new QComboBox(tabVvod);
    cbVvPodr->setObjectName(QStringLiteral("cbVvPodr"));
    cbVvPodr->setMinimumWidth(200);
    cbVvTabNum = new QComboBox(tabVvod);
    cbVvTabNum->setObjectName(QStringLiteral("cbVvTabNum"));
    cbVvTabNum->setMinimumWidth(220);
    lbNum = new QLabel(tabVvod);
    lbNum->setObjectName(QStringLiteral("lbNum"));
    top->addWidget(cbVvPodr);
    top->addWidget(cbVvTabNum);
    top->addWidget(lbNum);
    top->addStretch();
    auto* tools = new QToolBar(tabVvod);
    tools->setObjectName(QStringLiteral("tbVvod"));
    auto act = [&](const QString& name, const QString& caption, std::function<void()> f) {
        QAction* a = tools->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, guarded(std::move(f)));
        actions_.insert(name, a);
    };
    act(QStringLiteral("acVvodAdd"), QStringLiteral("Добавить"), [this] { AddInputRow(); });
    act(QStringLiteral("acVvodChange"), QStringLiteral("Изменить"), [this] { ChangeInputRow(); });
    act(QStringLiteral("acVvodDel"), QStringLiteral("Удалить"), [this] { DeleteInputRow(); });
    act(QStringLiteral("acCalc"), QStringLiteral("Рассчитать"), [this] {
        if (pcMain->currentWidget() != tabVvod)
            return;
        CalcOneTabn(curTabn_, true);
        if (pcVvod->currentWidget() == tabVvData)
            ShowVvodPage(1);
        ReloadCard(curTabn_);
        UpdateCalcCaption();
        RefreshVvodPages();
        ShowTabnStatus();
    });
    v->addLayout(top);
    // A line of its own: beside the two lists it would hide "Рассчитать"
    // behind the tool bar's arrow in a window of the smallest size.
    v->addWidget(tools);

    auto datePicker = [this](QWidget* parent, const QString& name) {
        auto* row = new QHBoxLayout;
        auto* prev = new QToolButton(parent);
        prev->setObjectName(
            name == QLatin1String("dtVvodDate") ? QStringLiteral("sbPrevNum") : QStringLiteral("SpeedButton1"));
        prev->setText(QStringLiteral("<"));
        Tyq_DateEdit* edit = MakeDateEdit(parent, name.toLatin1().constData());
        auto* next = new QToolButton(parent);
        next->setObjectName(
            name == QLatin1String("dtVvodDate") ? QStringLiteral("sbNextNum") : QStringLiteral("SpeedButton2"));
        next->setText(QStringLiteral(">"));
        row->addWidget(prev);
        row->addWidget(edit);
        row->addWidget(next);
        row->addStretch();
        connect(edit, &Tyq_DateEdit::dateChanged, this, guarded([this](const QDate& d) { SetViewDate(FromQDate(d)); }));
        connect(prev, &QToolButton::clicked, this, guarded([this] { SetViewDate(GetPrevMonthBeg(viewDate_)); }));
        connect(next, &QToolButton::clicked, this, guarded([this] { SetViewDate(GetNextMonthBeg(viewDate_)); }));
        return std::pair{row, edit};
    };

    pcVvod = new VetoTabWidget(tabVvod);
    pcVvod->setObjectName(QStringLiteral("pcVvod"));
    tabVvData = new QWidget(pcVvod);
    tabVvData->setObjectName(QStringLiteral("tabVvData"));
    auto* dv = new QVBoxLayout(tabVvData);
    auto [dataRow, dataDate] = datePicker(tabVvData, QStringLiteral("dtVvodDate"));
    dtVvodDate = dataDate;
    dv->addLayout(dataRow);
    auto* dsplit = new QSplitter(tabVvData);
    lvd = MakeDopView(QStringLiteral("lvd"), inputDops_.get(), true, lvdModel_);
    lvu = MakeDopView(QStringLiteral("lvu"), inputUders_.get(), false, lvuModel_);
    dsplit->addWidget(lvd);
    dsplit->addWidget(lvu);
    dv->addWidget(dsplit, 1);
    connect(lvd, &QTreeView::doubleClicked, this, guarded([this] { Trigger(QStringLiteral("acVvodChange")); }));
    connect(lvu, &QTreeView::doubleClicked, this, guarded([this] { Trigger(QStringLiteral("acVvodChange")); }));
    pcVvod->addTab(tabVvData, QStringLiteral("Данные"));

    tabVvRas = new QWidget(pcVvod);
    tabVvRas->setObjectName(QStringLiteral("tabVvRas"));
    auto* rv = new QVBoxLayout(tabVvRas);
    auto [rasRow, rasDate] = datePicker(tabVvRas, QStringLiteral("dtRasDate"));
    dtRasDate = rasDate;
    rv->addLayout(rasRow);
    auto* rsplit = new QSplitter(tabVvRas);
    lvRasD = MakeDopView(QStringLiteral("lvRasD"), resultDops_.get(), true, rasDModel_);
    lvRasU = MakeDopView(QStringLiteral("lvRasU"), resultUders_.get(), false, rasUModel_);
    rsplit->addWidget(lvRasD);
    rsplit->addWidget(lvRasU);
    rv->addWidget(rsplit, 1);
    auto* totals = new QGridLayout;
    auto total = [&](int row, int col, const QString& caption, const QString& name) {
        totals->addWidget(new QLabel(caption, tabVvRas), row, col * 2);
        auto* value = new QLabel(tabVvRas);
        value->setObjectName(name);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(90);
        totals->addWidget(value, row, col * 2 + 1);
    };
    total(0, 0, QStringLiteral("Сумма на начало :"), QStringLiteral("lbDop_Begin"));
    total(1, 0, QStringLiteral("Годовой доход"), QStringLiteral("lbDop_PNSumAll"));
    total(2, 0, QStringLiteral("Сумма д/налога"), QStringLiteral("lbDop_PNSumTo"));
    total(3, 0, QStringLiteral("Годовой налог"), QStringLiteral("lbDop_PNPay"));
    total(0, 1, QStringLiteral("ВСЕГО начислено"), QStringLiteral("lbDop_Nachis"));
    total(1, 1, QStringLiteral("Фактическое время"), QStringLiteral("lbFactTime"));
    total(2, 1, QStringLiteral("ВСЕГО удержано"), QStringLiteral("lbDop_Uder"));
    total(3, 1, QStringLiteral("Баланс р/времени"), QStringLiteral("lbBalans"));
    total(4, 1, QStringLiteral("К ВЫДАЧЕ :"), QStringLiteral("lbDop_Vsego"));
    rv->addLayout(totals);
    pcVvod->addTab(tabVvRas, QStringLiteral("Результат расчета"));
    v->addWidget(pcVvod, 1);
    pcMain->addTab(tabVvod, QStringLiteral("Расчет"));

    connect(cbVvPodr, &QComboBox::activated, this, guarded([this](int i) {
        if (!syncLock_ && i >= 0)
            SetCurrentPodr(cbVvPodr->itemData(i).toInt());
    }));
    connect(cbVvTabNum, &QComboBox::activated, this, guarded([this](int i) {
        if (syncLock_ || i < 0)
            return;
        SelectListIndex(cbVvTabNum, i);
        SetCurrentTabn(cbVvTabNum->itemData(i).toInt());
    }));
}

// ---------------------------------------------------------------- title and status

void TFormMain::SetMainTitle(const QString& extra)
{
    const QString fixed = Format(QStringLiteral("%s  Версия %s  [%s %d] "), title_, FormatVersion(0),
        MonthName(Variant::FromDate(Cfg.Workdate)), int(ToQDate(Cfg.Workdate).year()));
    setWindowTitle(fixed + extra);
}

void TFormMain::SetHeaderText(const QString& text) { prgHeader->setText(text.isEmpty() ? headerText_ : text); }

QLabel* TFormMain::StatusPanel(const QString& bar, int index) const
{
    return findChild<QLabel*>(bar + QString::number(index));
}

QLabel* TFormMain::TotalLabel(const QString& name) const { return findChild<QLabel*>(name); }

void TFormMain::ShowPodrStatus()
{
    QString num;
    if (curPodr_ < 999)
        num = QStringLiteral("%1").arg(curPodr_, 3, 10, QLatin1Char('0'));
    else
        num = dismissedView_ ? QStringLiteral("-1") : QString::number(curPodr_);
    StatusPanel(QStringLiteral("sBarPodr"), 0)->setText(num);
    StatusPanel(QStringLiteral("sBarPodr"), 1)->setText(Format(tabnCountFormat_, cards_->Count()));
}

void TFormMain::ShowTabnStatus()
{
    StatusPanel(QStringLiteral("sBarTabn"), 0)->setText(QString::number(curTabn_));
    QLabel* p1 = StatusPanel(QStringLiteral("sBarTabn"), 1);
    QLabel* p2 = StatusPanel(QStringLiteral("sBarTabn"), 2);
    const T_Tabn* card = SelectedCard();
    if (!card || card->TabNum() != curTabn_) {
        p1->setText(QStringLiteral("Неверно определен табельный номер"));
        p2->clear(); // the amount was another employee's
        return;
    }
    if (!card->Calculated) {
        p1->setText(QStringLiteral("Не рассчитано"));
        p2->setText(QString());
        return;
    }
    const QString text = QStringLiteral("Рассчитано ") + DateTimeToStr(card->DateRas);
    const int width = p1->fontMetrics().horizontalAdvance(text) + 6;
    if (p1->minimumWidth() < width)
        p1->setMinimumWidth(width);
    p1->setText(text);
    p2->setText(QStringLiteral("К выдаче: ") + FloatToStr(card->Sum.ToDouble()));
}

void TFormMain::ShowCalcCount(int add, int failed)
{
    if (add == 0 && failed == 0) {
        calcCount_ = 0;
        calcFailed_ = 0;
    }
    calcCount_ += add;
    calcFailed_ += failed;
    if (QLabel* p = findChild<QLabel*>(QStringLiteral("StatusBar1"))) {
        QString text = QStringLiteral("Рассчитано: ") + QString::number(calcCount_);
        if (calcFailed_ > 0)
            text += QStringLiteral("   Не рассчитано: ") + QString::number(calcFailed_);
        p->setText(text);
        p->repaint();
    }
}

void TFormMain::ClockTick()
{
    if (!running_)
        return;
    const QTime now = QTime::currentTime();
    if (now.minute() == clockMinute_)
        return;
    clockMinute_ = now.minute();
    if (QLabel* p = findChild<QLabel*>(QStringLiteral("StatusBar0")))
        p->setText(now.toString(QStringLiteral("hh:mm")));
}

// ---------------------------------------------------------------- selection

void TFormMain::TreeChanged(TObject*)
{
    tree_->Rebuild();
    syncLock_ = true;
    FillTreeView(*tree_, tvp, curPodr_, true);
    syncLock_ = false;
    // A department not (or no longer) in the tree: the view stands on
    // another node, and that one becomes the current department.
    if (tvp->currentItem() && CurrentPodrNum(tvp) != curPodr_)
        TreeSelected();
    if (pcMain->currentWidget() == tabVvod)
        FillVvodCombos();
    // A change of the departments is no reason to stop whoever made it.
    RunGuarded([this] { RefreshVvod(); });
}

void TFormMain::CardsChanged(TObject*)
{
    tabnModel_->Reset();
    SelectListIndex(nullptr, cards_->IndexOfTabNum(curTabn_));
    if (pcMain->currentWidget() == tabVvod)
        FillVvodCombos();
    ShowPodrStatus();
}

void TFormMain::ListsChanged(TObject*)
{
    lvdModel_->Reset();
    lvuModel_->Reset();
}

void TFormMain::ResultsChanged(TObject*)
{
    rasDModel_->Reset();
    rasUModel_->Reset();
}

void TFormMain::TreeSelected()
{
    if (syncLock_)
        return;
    QTreeWidgetItem* item = tvp->currentItem();
    if (!item)
        return;
    // By its number: the department list rebuilds its trees after it told
    // this window, so the node an item was made for may be gone.
    const T_Podr* podr = PNList() ? PNList()->FindPodr(item->data(0, Qt::UserRole).toInt()) : nullptr;
    qint32 num = 0;
    if (podr) {
        if (mode_ == 1)
            SetDismissedView(podr->IsDismissedGroup());
        num = podr->Num;
    } else {
        SetCurrentTabn(0);
    }
    SetCurrentPodr(num);
}

void TFormMain::ListSelected()
{
    if (syncLock_)
        return;
    const QModelIndex idx = lvt->currentIndex();
    if (!idx.isValid() || idx.row() >= cards_->Count())
        return;
    SelectListIndex(lvt, idx.row());
    SetCurrentTabn(cards_->GetTabn(idx.row())->TabNum());
}

void TFormMain::LocateTabn(qint32 tabNum)
{
    int podr = 0;
    if (tabNum != 0 && GetTabnPodr(tabNum, podr) && podr != 0) {
        SetCurrentPodr(podr);
        SetCurrentTabn(tabNum);
    }
}

void TFormMain::SetCurrentPodr(qint32 num)
{
    tree_->EnsureBuilt();
    if (num == curPodr_)
        return;
    curPodr_ = num;
    syncLock_ = true;
    if (CurrentPodrNum(tvp) != num) {
        for (QTreeWidgetItemIterator it(tvp); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == num) {
                tvp->setCurrentItem(*it);
                break;
            }
    }
    const int ci = cbVvPodr->findData(num);
    if (ci >= 0)
        cbVvPodr->setCurrentIndex(ci);
    syncLock_ = false;
    cards_->SetPodr(num);
    tabnModel_->Reset();
    ShowPodrStatus();
    if (cards_->IndexOfTabNum(curTabn_) >= 0)
        return;
    // The list shows no selection after a department change; the period
    // page, which has no list to choose from, goes on with the department's
    // first employee.
    if (pcMain->currentWidget() == tabVvod && cards_->Count() > 0)
        SetCurrentTabn(cards_->GetTabn(0)->TabNum());
    else
        SetCurrentTabn(0);
}

void TFormMain::SetCurrentTabn(qint32 tabNum)
{
    if (tabNum == curTabn_)
        return;
    curTabn_ = tabNum;
    AppContext().LastTabNum = tabNum;
    SelectListIndex(nullptr, tabNum > 0 ? cards_->IndexOfTabNum(tabNum) : -1);
    RefreshCard();
    RunGuarded([this] { RefreshVvod(); });
    ShowTabnStatus();
}

void TFormMain::SelectListIndex(QObject* sender, int index)
{
    if (syncLock_)
        return;
    syncLock_ = true;
    if (index >= 0) {
        if (sender != lvt) {
            if (index < cards_->Count()) {
                const QModelIndex mi = tabnModel_->index(index, 1);
                lvt->selectionModel()->setCurrentIndex(
                    mi, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                lvt->scrollTo(mi);
            } else {
                lvt->selectionModel()->clear();
            }
        }
        if (sender != cbVvTabNum)
            cbVvTabNum->setCurrentIndex(index < cbVvTabNum->count() ? index : -1);
    } else {
        lvt->selectionModel()->clear();
        cbVvTabNum->setCurrentIndex(-1);
    }
    syncLock_ = false;
}

T_Tabn* TFormMain::SelectedCard() const
{
    const QModelIndexList rows = lvt->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().row() >= cards_->Count())
        return nullptr;
    return cards_->GetTabn(rows.first().row());
}

qint32 TFormMain::SelectedTabn() const
{
    const T_Tabn* card = SelectedCard();
    return card ? card->TabNum() : 0;
}

bool TFormMain::NoTabnSelected(bool warn) const
{
    if (SelectedCard() != nullptr)
        return false;
    if (warn)
        ShowWarning(QStringLiteral("Определите правильный табельный номер"));
    return true;
}

void TFormMain::RequireTabn() const
{
    if (NoTabnSelected(false) || curTabn_ <= 0)
        ErrorAbort(QStringLiteral("Не определен табельный номер"));
}

void TFormMain::SetDismissedView(bool on)
{
    cards_->SetFilter(on ? tfDismissed : tfWorking);
    if (on && tabnModel_->columnCount() == 3) {
        tabnModel_->SetColumns(4);
        const QFontMetrics fm(lvt->font());
        // The name takes what the narrow department column leaves.
        lvt->header()->setStretchLastSection(false);
        lvt->header()->setSectionResizeMode(2, QHeaderView::Stretch);
        lvt->setColumnWidth(3,
            qMax(fm.horizontalAdvance(QStringLiteral("444555")), fm.horizontalAdvance(QStringLiteral("№ Подр."))) + 12);
    } else if (!on && tabnModel_->columnCount() == 4) {
        tabnModel_->SetColumns(3);
        lvt->header()->setSectionResizeMode(2, QHeaderView::Interactive);
        lvt->header()->setStretchLastSection(true);
        lvt->setColumnWidth(2, 260);
    }
    tbSrBase->setVisible(mode_ == 1 && !on);
    tbSrDel->setVisible(mode_ == 1 && on);
    dismissedView_ = on;
}

void TFormMain::ReloadCard(qint32 tabNum)
{
    if (T_Tabn* card = cards_->FindTabn(tabNum)) {
        card->LoadByTabNum(tabNum);
        tabnModel_->Reset();
        SelectListIndex(nullptr, cards_->IndexOfTabNum(tabNum));
    }
}

// ---------------------------------------------------------------- pages

void TFormMain::ShowPage(int page) { pcMain->setCurrentIndex(page); }
void TFormMain::ShowVvodPage(int page) { pcVvod->setCurrentIndex(page); }

bool TFormMain::CanLeavePage(int from, int)
{
    if (from == 0 && NoTabnSelected(true))
        return false;
    if (from == 1 && card_ && !card_->LeaveEditMode())
        return false;
    return true;
}

void TFormMain::PageChanged(int to)
{
    QWidget* page = pcMain->widget(to);
    if (page != tabSR && NoTabnSelected(true)) {
        pcMain->setCurrentWidget(tabSR);
        return;
    }
    if (page == tabSR) {
        ShowPodrStatus();
        ShowTabnStatus();
    } else if (page == tabSrCard) {
        RefreshCard();
    } else if (page == tabVvod) {
        FillVvodCombos();
        RefreshVvod();
    }
    lastPage_ = to;
}

void TFormMain::FillVvodCombos()
{
    syncLock_ = true;
    cbVvPodr->clear();
    TStringItems podrs;
    const int pi = tree_->FillStrings(podrs, curPodr_);
    for (const TStringItem& s : podrs) {
        T_MPodr* node = T_PNTree::NodeOfItem(s);
        cbVvPodr->addItem(s.Text, node && node->Podr ? node->Podr->Num : 0);
    }
    cbVvPodr->setCurrentIndex(pi);
    cbVvTabNum->clear();
    TStringItems tabns;
    const int ti = cards_->FillStrings(tabns, curTabn_);
    for (const TStringItem& s : tabns)
        cbVvTabNum->addItem(s.Text, int(s.Object));
    cbVvTabNum->setCurrentIndex(ti);
    syncLock_ = false;
}

void TFormMain::RefreshCard()
{
    if (pcMain->currentWidget() != tabSrCard || !running_ || !card_)
        return;
    card_->ShowTabn(curTabn_, mode_ == 1);
}

void TFormMain::RefreshVvod()
{
    if (pcMain->currentWidget() != tabVvod || !running_)
        return;
    if (NoTabnSelected(false) || curTabn_ <= 0) {
        // Nobody's input or results stay under an empty employee line.
        lbNum->clear();
        ClearTotals();
        for (T_TabnDopList* l : {inputDops_.get(), inputUders_.get(), resultDops_.get(), resultUders_.get()}) {
            l->TabNum = -1;
            l->SetTabn(0);
        }
    }
    RequireTabn();
    UpdateCalcCaption();
    {
        const QSignalBlocker b1(dtVvodDate), b2(dtRasDate);
        dtVvodDate->setDate(ToQDate(Cfg.Workdate));
        dtRasDate->setDate(ToQDate(Cfg.Workdate));
    }
    viewDate_ = 0; // always reload, also when the month stays
    SetViewDate(Cfg.Workdate);
    const T_Tabn* card = SelectedCard();
    lbNum->setText(card ? card->GetNumberText() : QString());
}

void TFormMain::RefreshVvodPages()
{
    if (pcMain->currentWidget() != tabVvod || !inputDops_)
        return;
    // The input follows the employee whichever page shows: Insert, Enter and
    // Delete act on it from the results page too.
    LoadInputLists();
    if (pcVvod->currentWidget() == tabVvRas) {
        ClearTotals();
        for (T_TabnDopList* l : {resultDops_.get(), resultUders_.get()}) {
            l->Date = viewDate_;
            l->TabNum = -1;
            l->SetTabn(curTabn_);
        }
    }
}

void TFormMain::ClearTotals()
{
    for (const char* n : {"lbDop_Begin", "lbDop_PNSumAll", "lbDop_PNSumTo", "lbDop_PNPay", "lbDop_Nachis", "lbFactTime",
             "lbDop_Uder", "lbBalans", "lbDop_Vsego"})
        TotalLabel(QLatin1String(n))->clear();
}

void TFormMain::LoadInputLists()
{
    for (T_TabnDopList* l : {inputDops_.get(), inputUders_.get()}) {
        l->Date = viewDate_;
        l->TabNum = -1; // read again also for the same employee
        l->SetTabn(curTabn_);
    }
}

bool TFormMain::InputEditable()
{
    if (!IsInWorkMonth(viewDate_))
        return false;
    for (const T_TabnDopList* l : {inputDops_.get(), inputUders_.get()})
        if (l->TabNum != curTabn_ || l->Date != viewDate_) {
            LoadInputLists();
            break;
        }
    return true;
}

void TFormMain::RoutReserved(T_TabnDopList*, T_TabnDop* e, bool& accept)
{
    T_Dop* dop = e->GetDop();
    accept = dop == nullptr || !dop->Uder;
    if (!accept)
        return;
    const auto money
        = [&](const char* name) { TotalLabel(QLatin1String(name))->setText(FormatMoney(e->Sum.ToDouble())); };
    const auto time = [&](const char* name) { TotalLabel(QLatin1String(name))->setText(FormatShortFloat(e->DTime)); };
    switch (e->DopNum) {
    case dnBegin: money("lbDop_Begin"); break;
    case dnPNSumOsv:
    case dnPNDopOsv: break;
    case dnPNSumAll: money("lbDop_PNSumAll"); break;
    case dnPNSumTo: money("lbDop_PNSumTo"); break;
    case dnPNPay: money("lbDop_PNPay"); break;
    case dnNachis:
        money("lbDop_Nachis");
        time("lbFactTime");
        break;
    case dnUder:
        money("lbDop_Uder");
        time("lbBalans");
        break;
    case dnVsego: money("lbDop_Vsego"); break;
    default: return;
    }
    accept = false;
}

void TFormMain::SetViewDate(TDateTime d)
{
    if (d == viewDate_)
        return;
    if (d > Cfg.Workdate)
        d = Cfg.Workdate;
    if (d < Cfg.BegDate)
        d = Cfg.BegDate;
    viewDate_ = d;
    {
        const QSignalBlocker b1(dtVvodDate), b2(dtRasDate);
        dtVvodDate->setDate(ToQDate(d));
        dtRasDate->setDate(ToQDate(d));
    }
    const bool inWork = IsInWorkMonth(d);
    for (const char* n : {"acVvodAdd", "acVvodChange", "acVvodDel", "acCalc"})
        Action(QLatin1String(n))->setEnabled(inWork);
    for (QTreeView* view : {lvd, lvu, lvRasD, lvRasU}) {
        QPalette pal = view->palette();
        pal.setColor(QPalette::Base, QApplication::palette().color(inWork ? QPalette::Base : QPalette::ToolTipBase));
        view->setPalette(pal);
    }
    if (!creating_)
        RefreshVvodPages();
}

void TFormMain::SetCalcMode(bool on)
{
    if (!on)
        return;
    const bool leavingStaff = mode_ == 1;
    SetHeaderText(QString());
    SetStaffMode(false);
    mode_ = 0;
    Action(QStringLiteral("mnCalcMode"))->setChecked(true);
    Action(QStringLiteral("mnSR"))->setChecked(false);
    if (leavingStaff) {
        // The clerk goes on with the calculation of whom he had, or of the
        // department's first employee when his one is not among its working.
        if (cards_->IndexOfTabNum(curTabn_) < 0 && cards_->Count() > 0)
            SetCurrentTabn(cards_->GetTabn(0)->TabNum());
        if (!NoTabnSelected(false)) {
            ShowPage(pcMain->indexOf(tabVvod));
            return;
        }
    }
    RefreshCard();
    RunGuarded([this] { RefreshVvod(); });
}

void TFormMain::SetStaffMode(bool on)
{
    const QStringList menus{
        QStringLiteral("mnData"), QStringLiteral("mnCalc"), QStringLiteral("mnVed"), QStringLiteral("mnService")};
    if (on) {
        mode_ = 1;
        SetHeaderText(QStringLiteral("Справочник списочного состава"));
        CoolBarSrSpr->show();
        tbSrBase->setVisible(!dismissedView_);
        tbSrDel->setVisible(dismissedView_);
        pcMain->setTabVisible(pcMain->indexOf(tabVvod), false);
        for (const QString& m : menus)
            if (QMenu* menu = findChild<QMenu*>(m))
                menu->setEnabled(false);
        Action(QStringLiteral("mnSR"))->setChecked(true);
        Action(QStringLiteral("mnCalcMode"))->setChecked(false);
        tree_->SetFilter(pfCurrent | pfDismissed);
        TreeChanged(nullptr);
        RefreshCard();
        return;
    }
    if (mode_ == 1) {
        // Out of staff mode before the tree changes: a node the rebuilt tree
        // selects is taken in calculation mode, and brings no staff bars back.
        mode_ = 0;
        CoolBarSrSpr->hide();
        SetDismissedView(false);
        pcMain->setTabVisible(pcMain->indexOf(tabVvod), true);
        tree_->SetFilter(pfCurrent);
        TreeChanged(nullptr);
    }
    for (const QString& m : menus)
        if (QMenu* menu = findChild<QMenu*>(m))
            menu->setEnabled(true);
    if (dismissedView_) {
        SetDismissedView(false);
        if (tvp->currentItem())
            TreeSelected();
    }
    if (card_)
        card_->LeaveEditMode();
}

void TFormMain::UpdateCalcCaption()
{
    const T_Tabn* card = SelectedCard();
    QString caption = QStringLiteral("Рассчитать");
    if (Cfg.CalcCompare)
        caption = QStringLiteral("Сравнить");
    else if (card && card->Calculated)
        caption = QStringLiteral("Пересчитать");
    Action(QStringLiteral("acCalc"))->setText(caption);
}

// ---------------------------------------------------------------- keys

void TFormMain::StepEmployee(int delta)
{
    const int count = cards_->Count();
    if (count == 0)
        return;
    const QModelIndexList rows = lvt->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        SelectListIndex(nullptr, 0);
        SetCurrentTabn(cards_->GetTabn(0)->TabNum());
        return;
    }
    const int i = rows.first().row() + delta;
    if (i < 0 || i >= count)
        return;
    SelectListIndex(nullptr, i);
    SetCurrentTabn(cards_->GetTabn(i)->TabNum());
}

void TFormMain::BuildDebugPanel(QWidget* parent)
{
    pnOtl = new QWidget(parent);
    pnOtl->setObjectName(QStringLiteral("pnOtl"));
    auto* row = new QHBoxLayout(pnOtl);
    row->setContentsMargins(0, 0, 0, 0);
    const auto button = [&](const char* text, std::function<void()> click) {
        auto* b = new QPushButton(QString::fromUtf8(text), pnOtl);
        b->setObjectName(QString::fromUtf8(text).remove(QLatin1Char(' ')));
        connect(b, &QPushButton::clicked, this, [click] { RunGuarded(click); });
        row->addWidget(b);
    };
    button("OtlForm", [this] {
        if (!formOtl_)
            formOtl_ = new TFormOtl(this);
        formOtl_->ShowEmployee(CurTabn());
        formOtl_->show();
        formOtl_->raise();
    });
    button("Do 1", [] {
        ShowRTEdit(250);
        T_RtTable table; // a table of that accrual read back, as the test bench did
        table.Vid = 250;
        table.SetDate(StoD(QStringLiteral("19990701")));
        table.LoadForDate();
    });
    button("Do 2", [] {});
    button("MMgr", [] {});
    row->addStretch(1);
    pnOtl->setVisible(false);
}

bool TFormMain::PageKeys(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int key = event->key();
    QWidget* page = pcMain->currentWidget();
    if (page == tabSrCard && (mods & Qt::ControlModifier)) {
        if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            StepEmployee(key == Qt::Key_PageUp ? -1 : 1);
            return true;
        }
    }
    if (page == tabVvod && !(mods & Qt::AltModifier)) {
        if (mods == Qt::ControlModifier) {
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Trigger(QStringLiteral("acCalc"));
                return true;
            }
            if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
                StepEmployee(key == Qt::Key_PageUp ? -1 : 1);
                return true;
            }
        } else if (!(mods & Qt::ControlModifier)) {
            switch (key) {
            case Qt::Key_Return:
            case Qt::Key_Enter: Trigger(QStringLiteral("acVvodChange")); return true;
            case Qt::Key_Insert: Trigger(QStringLiteral("acVvodAdd")); return true;
            case Qt::Key_Delete: Trigger(QStringLiteral("acVvodDel")); return true;
            case Qt::Key_F5: EditInputFormula(); return true;
            default: break;
            }
            const QString text = event->text();
            if (mods == Qt::NoModifier && text.size() == 1 && text.at(0).isDigit() && text.at(0).unicode() < 128) {
                int num = text.toInt();
                if (!Action(QStringLiteral("acVvodChange"))->isEnabled())
                    return true; // a past month keeps the working month's input
                if (InputDopNum(QStringLiteral("Номер начисления"), num))
                    EditInputRow(num);
                return true;
            }
        }
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::ControlModifier)
        return true;
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && !(mods & Qt::AltModifier)) {
        // Lists keep their arrows unless Ctrl alone is held.
        int k = key;
        HandleArrowKeyFocus(this, k, event->modifiers());
        return k == 0;
    }
    return false;
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != this || QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return QMainWindow::eventFilter(watched, event);
    // Combo boxes, line edits, spin and date edits and multi-line texts keep
    // their own keys.
    if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QLineEdit*>(w)
        || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w))
        return QMainWindow::eventFilter(watched, event);
    bool consumed = false;
    RunGuarded([&] { consumed = PageKeys(static_cast<QKeyEvent*>(event)); });
    return consumed || QMainWindow::eventFilter(watched, event);
}

void TFormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    SetMainTitle(QString());
    RefreshCard();
    UpdateCompareCheck();
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    Cfg.TNPosition = curTabn_;
    QMainWindow::closeEvent(event);
}
