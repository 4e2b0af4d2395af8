#include "desk/Main.h"

#include "calc/TabnCalc.h"
#include "calc/ui/SprPx.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/Rights.h"
#include "data/Tabn.h"
#include "data/ui/About.h"
#include "data/ui/FormsVw.h"
#include "data/ui/Otl.h"
#include "desk/Config.h"
#include "desk/FontDlg.h"
#include "desk/MainOpeners.h"
#include "desk/PodrBook.h"
#include "desk/SprClndr.h"
#include "desk/SprPost.h"
#include "desk/SprStaff.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/edits/DateEdit.h"

#include <QApplication>
#include <QMenuBar>
#include <QTreeWidget>

// ---------------------------------------------------------------- menu

QAction* TFormMain::AddItem(QMenu* menu, const QString& name, const QString& caption, std::function<void()> handler)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    actions_.insert(name, a);
    handled_.insert(a, bool(handler));
    if (handler)
        connect(a, &QAction::triggered, this, guarded(std::move(handler)));
    return a;
}

QAction* TFormMain::AddOpenerItem(QMenu* menu, const QString& name, const QString& caption)
{
    if (!HasMenuOpener(name))
        return AddItem(menu, name, caption, {});
    return AddItem(menu, name, caption, [this, name] { RunMenuOpener(name, *this); });
}

void TFormMain::BuildMenu()
{
    QMenuBar* bar = menuBar();
    auto top = [&](const QString& name, const QString& caption) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(name);
        topMenus_ << m;
        return m;
    };
    auto sub = [&](QMenu* parent, const QString& name, const QString& caption) {
        QMenu* m = parent->addMenu(caption);
        m->setObjectName(name);
        return m;
    };
    QMenu* file = top(QStringLiteral("mnFile"), QStringLiteral("Файл"));
    QMenu* data = sub(file, QStringLiteral("mnData"), QStringLiteral("Данные"));
    AddItem(data, QStringLiteral("mnRefresh"), QStringLiteral("Обновить данные"), [] { ReloadAllLists(); });
    AddOpenerItem(data, QStringLiteral("mnSave"), QStringLiteral("Сохранение/Восстановление"));
    AddOpenerItem(data, QStringLiteral("mnReserv"), QStringLiteral("Резервное копирование"));
    AddOpenerItem(data, QStringLiteral("mnCompress"), QStringLiteral("Сжатие"));
    AddOpenerItem(data, QStringLiteral("mnImport"), QStringLiteral("Импорт данных"));
    QAction* brows = AddOpenerItem(data, QStringLiteral("mnBrows"), QStringLiteral("Brows table"));
    brows->setShortcut(QKeySequence(QStringLiteral("Ctrl+B")));
    brows->setVisible(false);
    AddOpenerItem(file, QStringLiteral("mnPrinter"), QStringLiteral("Принтер"));
    QMenu* fonts = sub(file, QStringLiteral("mnFonts"), QStringLiteral("Шрифты"));
    AddItem(
        fonts, QStringLiteral("mnFontMain"), QStringLiteral("Основной"), [] { ChooseProgramFont(FontOfMenuTag(1)); });
    AddItem(fonts, QStringLiteral("mnFontEdit"), QStringLiteral("Редактирования"),
        [] { ChooseProgramFont(FontOfMenuTag(3)); });
    AddItem(
        fonts, QStringLiteral("mnFontLabel"), QStringLiteral("Заголовок"), [] { ChooseProgramFont(FontOfMenuTag(2)); });
    QMenu* docFonts = sub(fonts, QStringLiteral("mnFontDocs"), QStringLiteral("Выходные документы"));
    AddItem(
        docFonts, QStringLiteral("mnFontHeader"), QStringLiteral("Титул"), [] { ChooseProgramFont(FontOfMenuTag(4)); });
    AddItem(docFonts, QStringLiteral("mnFontColumn"), QStringLiteral("Колонки"),
        [] { ChooseProgramFont(FontOfMenuTag(5)); });
    AddItem(
        docFonts, QStringLiteral("mnFontText"), QStringLiteral("Текст"), [] { ChooseProgramFont(FontOfMenuTag(6)); });
    QAction* otl = AddItem(file, QStringLiteral("mnOtl"), QStringLiteral("Отладка"), [this] {
        QAction* a = Action(QStringLiteral("mnOtl"));
        Action(QStringLiteral("mnBrows"))->setVisible(a->isChecked());
        Action(QStringLiteral("mnMainOtl"))->setVisible(a->isChecked());
        pnOtl->setVisible(a->isChecked());
        if (a->isChecked() && !formOtl_)
            formOtl_ = new TFormOtl(this);
    });
    otl->setCheckable(true);
    file->addSeparator();
    AddItem(file, QStringLiteral("mnExit"), QStringLiteral("Выход"), [this] { close(); });

    QMenu* spr = top(QStringLiteral("mnSpr"), QStringLiteral("Справочники"));
    AddItem(spr, QStringLiteral("mnCalcMode"), QStringLiteral("Режим расчетов"), [this] {
        SetCalcMode(true);
    })->setCheckable(true);
    AddItem(spr, QStringLiteral("mnSR"), QStringLiteral("Списочный состав"), [this] {
        SetStaffMode(true);
    })->setCheckable(true);
    AddItem(spr, QStringLiteral("mnNewTabn"), QStringLiteral("         Новый работник"), [this] { NewTabn(); });
    spr->addSeparator();
    AddOpenerItem(spr, QStringLiteral("mnDopl"), QStringLiteral("Доплаты и удержания"));
    AddItem(spr, QStringLiteral("mnPodr"), QStringLiteral("Структура предприятия"), [] {
        RequireOperation(5);
        ShowPodrBook();
    });
    AddItem(spr, QStringLiteral("mnUsers"), QStringLiteral("Расчетчики"), [] {
        if (CurrentUser != 0)
            ErrorAbort(
                QStringLiteral("Права на изменение справочника пользователей имеет только администратор системы"));
        ShowSprUser();
    })->setVisible(false);
    AddItem(spr, QStringLiteral("mnStaff"), QStringLiteral("Штатное расписание"), [] {
        RequireOperation(25);
        ShowSprStaff();
    });
    AddItem(spr, QStringLiteral("mnPost"), QStringLiteral("Справочник должностей"), [] {
        RequireOperation(19);
        ShowSprPost();
    });
    AddItem(spr, QStringLiteral("mnCtgr"), QStringLiteral("Справочник категорий"), [] {
        RequireOperation(22);
        ShowSprCtgr();
    });
    AddItem(spr, QStringLiteral("mnPx"), QStringLiteral("Подоходный налог"), [] {
        RequireOperation(28);
        ShowSprPx();
    });
    AddItem(spr, QStringLiteral("mnClndr"), QStringLiteral("Календарь"), [] { ShowSprClndr(); });

    QMenu* calc = top(QStringLiteral("mnCalc"), QStringLiteral("Расчеты"));
    AddOpenerItem(calc, QStringLiteral("mnPremii"), QStringLiteral("Премии"));
    AddItem(calc, QStringLiteral("mnCalcEnterprise"), QStringLiteral("Рассчитать предприятие"), [this] {
        ShowCalcCount(0);
        CalcEnterprise();
        cards_->Reload();
        ShowTabnStatus();
    });
    AddItem(calc, QStringLiteral("mnCalcPodr"), QStringLiteral("Рассчитать подразделение"), [this] {
        ShowCalcCount(0);
        qint32 first = 0;
        CalcPodr(curPodr_, true, first);
        cards_->Reload();
        ShowTabnStatus();
    });
    AddItem(calc, QStringLiteral("mnCalcZarp"), QStringLiteral("Расчет зарплаты"), {});
    AddItem(calc, QStringLiteral("mnCalcCompare"), QStringLiteral("Сравнительный расчет"), [this] {
        Cfg.CalcCompare = !Cfg.CalcCompare;
        UpdateCompareCheck();
        RefreshVvod();
    })->setCheckable(true);
    AddOpenerItem(calc, QStringLiteral("mnPerehod"), QStringLiteral("Переход на новый период"));
    AddItem(calc, QStringLiteral("mnClosePer"), QStringLiteral("Закрыть период перерасчетов"), {})->setVisible(false);

    QMenu* ved = top(QStringLiteral("mnVed"), QStringLiteral("Выходные формы"));
    AddOpenerItem(ved, QStringLiteral("mnVedRL"), QStringLiteral("Расчетные листы"));
    AddOpenerItem(ved, QStringLiteral("mnVedRV"), QStringLiteral("Расчетные ведомости"));
    AddOpenerItem(ved, QStringLiteral("mnVedPV"), QStringLiteral("Платежные ведомости"));
    AddOpenerItem(ved, QStringLiteral("mnVedSpr"), QStringLiteral("Справки"));
    AddOpenerItem(ved, QStringLiteral("mnVedSvod"), QStringLiteral("Своды"));
    AddItem(ved, QStringLiteral("mnVedSprPer"), QStringLiteral("Справки за период"), {});
    AddItem(ved, QStringLiteral("mnVedPost"), QStringLiteral("Постатейки"), {});

    // An item of the bar itself, without a menu.
    QAction* config = bar->addAction(QStringLiteral("Параметры"));
    config->setObjectName(QStringLiteral("mnConfig"));
    actions_.insert(config->objectName(), config);
    connect(config, &QAction::triggered, this, guarded([] { ShowFormConfig(); }));

    QMenu* service = top(QStringLiteral("mnService"), QStringLiteral("Сервис"));
    AddItem(service, QStringLiteral("mnDocDesign"), QStringLiteral("Конструктор документов"), {});
    AddItem(service, QStringLiteral("mnDocJournal"), QStringLiteral("Журнал документов"), {});
    QMenu* size = sub(service, QStringLiteral("mnSize"), QStringLiteral("Размер"));
    AddItem(size, QStringLiteral("mnScaleUp"), QStringLiteral("Увеличить"), [] {
        if (ScaleAllForms(11, 10, true))
            ++Cfg.ScaleBy;
    });
    AddItem(size, QStringLiteral("mnScaleDown"), QStringLiteral("Уменьшить"), [] {
        if (ScaleAllForms(11, 10, false))
            --Cfg.ScaleBy;
    });

    QMenu* window = top(QStringLiteral("mnWindow"), QStringLiteral("Окно"));
    QAction* formsList = AddItem(
        window, QStringLiteral("mnFormsList"), QStringLiteral("Список активных окон"), [] { ShowFormsList(); });
    formsList->setShortcut(QKeySequence(Qt::ALT | Qt::Key_0));
    // The window keys work in every window of the program, not only here.
    formsList->setShortcutContext(Qt::ApplicationShortcut);

    QMenu* help = top(QStringLiteral("mnHelp"), QStringLiteral("?"));
    AddOpenerItem(help, QStringLiteral("mnHelpContents"), QStringLiteral("Помощь"));
    AddItem(help, QStringLiteral("mnAbout"), QStringLiteral("О программе"), [this] { ShowAboutBox(this); });

    QMenu* debug = top(QStringLiteral("mnMainOtl"), QStringLiteral("Отладка"));
    AddItem(debug, QStringLiteral("mnOtlDesigner"), QStringLiteral("Дизайнер"), [] {});
    AddItem(debug, QStringLiteral("mnOtlOne"), QStringLiteral("Один"), [] {});
    AddItem(debug, QStringLiteral("mnOtlPodr"), QStringLiteral("Подразделение"), [] {});
    debug->menuAction()->setVisible(false);
    actions_.insert(QStringLiteral("mnMainOtl"), debug->menuAction());

    // Russian programs reach every item from the keyboard: Alt with the
    // underlined letter, or F10 and the arrows.
    AssignMnemonics(bar->actions());

    // Keys without a menu item.
    auto key = [this](const QString& name, const QKeySequence& seq, std::function<void()> f,
                   Qt::ShortcutContext context = Qt::WindowShortcut) {
        auto* a = new QAction(this);
        a->setObjectName(name);
        a->setShortcut(seq);
        a->setShortcutContext(context);
        addAction(a);
        connect(a, &QAction::triggered, this, guarded(std::move(f)));
        actions_.insert(name, a);
    };
    key(QStringLiteral("acTabnCard"), QKeySequence(Qt::Key_F3),
        [this] { RunMenuOpener(QStringLiteral("acTabnCard"), *this); });
    key(QStringLiteral("acDoplEdit"), QKeySequence(Qt::Key_F4),
        [this] { RunMenuOpener(QStringLiteral("acDoplEdit"), *this); });
    key(
        QStringLiteral("acNextWindow"), QKeySequence(Qt::Key_F6), [] { ActivateOldestWindow(); },
        Qt::ApplicationShortcut);
    key(
        QStringLiteral("acPrevWindow"), QKeySequence(Qt::CTRL | Qt::Key_F6), [] { ActivatePreviousWindow(); },
        Qt::ApplicationShortcut);
    key(QStringLiteral("acMenuBar"), QKeySequence(Qt::Key_F10), [this] {
        for (QAction* a : menuBar()->actions())
            if (a->isVisible() && a->isEnabled() && !a->isSeparator()) {
                menuBar()->setActiveAction(a);
                return;
            }
    });
    key(QStringLiteral("acExit"), QKeySequence(Qt::ALT | Qt::Key_X), [this] {
        if (QApplication::activeWindow() == this)
            close();
    });
}

// ---------------------------------------------------------------- menu walk

namespace {

// Whether the item counts as enabled; disables those that do not.
bool WalkMenu(QAction* item, const QHash<QAction*, bool>& handled)
{
    if (item->isSeparator() || item->text() == QLatin1String("-"))
        return item->isEnabled();
    bool enabled = item->isEnabled();
    if (enabled) {
        if (QMenu* menu = item->menu()) {
            bool any = false;
            for (QAction* child : menu->actions())
                if (!child->isSeparator() && WalkMenu(child, handled))
                    any = true;
            enabled = any;
        } else {
            enabled = handled.value(item, false);
        }
    }
    if (!enabled)
        item->setEnabled(false);
    return enabled;
}

} // namespace

void TFormMain::UpdateMenuEnabled()
{
    for (QMenu* menu : topMenus_)
        WalkMenu(menu->menuAction(), handled_);
}

QAction* TFormMain::Action(const QString& name) const { return actions_.value(name); }

bool TFormMain::Trigger(const QString& name)
{
    QAction* a = Action(name);
    if (!a)
        return false;
    a->trigger();
    return true;
}

void TFormMain::UpdateCompareCheck()
{
    if (QAction* a = Action(QStringLiteral("mnCalcCompare")))
        a->setChecked(Cfg.CalcCompare);
}

void TFormMain::SettingsChanged()
{
    UpdateCompareCheck();
    dtVvodDate->setDateRange(ToQDate(Cfg.BegDate), ToQDate(Cfg.Workdate));
    dtRasDate->setDateRange(ToQDate(Cfg.BegDate), ToQDate(Cfg.Workdate));
    SetMainTitle(QString());
    RunGuarded([this] { RefreshVvod(); });
}

void TFormMain::DataReplaced()
{
    const qint32 kept = curTabn_;
    SetMainTitle(QString());
    UpdateCompareCheck();
    dtVvodDate->setDateRange(ToQDate(Cfg.BegDate), ToQDate(Cfg.Workdate));
    dtRasDate->setDateRange(ToQDate(Cfg.BegDate), ToQDate(Cfg.Workdate));
    viewDate_ = 0;
    SetViewDate(Cfg.Workdate);
    // The department and the employee are found again in the new data, as
    // at a start; -1 is no department, so every one is taken anew.
    curPodr_ = -1;
    curTabn_ = 0;
    cards_->SetLoaded(false); // read at the department's choice: the old one may be gone
    TreeChanged(nullptr);
    int podr = 0;
    LocateTabn(kept > 0 && GetTabnPodr(kept, podr) && podr != 0 ? kept : Cfg.TNPosition);
    if (curPodr_ == -1 && tvp->currentItem())
        TreeSelected();
    if (NoTabnSelected(false))
        ShowPage(0);
    ShowPodrStatus();
    ShowTabnStatus();
    RefreshCard();
    RunGuarded([this] { RefreshVvod(); });
}
