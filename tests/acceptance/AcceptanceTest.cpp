// The acceptance test of the whole program: a payroll clerk starts it on an
// empty folder and works through January and into February as a clerk
// would, through the real windows, with the mouse and the keyboard.

#include "acceptance/Clerk.h"

#include "archive/ui/FormPerehod.h"
#include "archive/ui/Save.h"
#include "calc/ui/CalcPrem.h"
#include "calc/ui/DoplEdit.h"
#include "calc/ui/SprDop.h"
#include "calc/ui/SprPx.h"
#include "data/AppContext.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "data/ui/DpSelect.h"
#include "data/ui/InVvod.h"
#include "data/ui/Program.h"
#include "data/ui/SrSelect.h"
#include "desk/Config.h"
#include "desk/Main.h"
#include "desk/NewEmploy.h"
#include "desk/PodrBook.h"
#include "desk/SprClndr.h"
#include "desk/SprPost.h"
#include "desk/SprStaff.h"
#include "desk/TabnEdit.h"
#include "foundation/Progress.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/NumEdit.h"
#include "foundation/ui/grids/DBGrid.h"
#include "foundation/ui/grids/DBGridModel.h"
#include "foundation/ui/grids/InplaceEdit.h"
#include "foundation/ui/grids/YQRGrids.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/SysUtils.h"
#include "reports/ui/DocEdit.h"
#include "reports/ui/FormReports.h"
#include "reports/ui/PreviewForm.h"
#include "reports/ui/VedTune.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class AcceptanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The templates and the words of amounts the program ships lie
        // beside it; the words are copied beside the data.
        InstallShippedTemplates(QStringLiteral(QOR_SHIPPED_TXT), folder_);
        QDir().mkpath(folder_.File(QStringLiteral("DB")));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QOR_SHIPPED_PROPIS), folder_.File(QStringLiteral("DB/PROPIS.DB"))));
    }

    // ---- the set-up of the enterprise

    void Settings(TFormMain& main)
    {
        ModalScript modal;
        modal.Next<TFormConfig>([](TFormConfig& f) {
            TypeDate(f.edBegDate, QStringLiteral("01.01.2025"));
            // Time is entered for everyone: a piece-worker is no time-worker.
            ASSERT_TRUE(f.cbAutoCalc->isChecked());
            Click(f.cbAutoCalc);
            Shot(&f, QStringLiteral("01-settings"));
            Click(f.btOk);
        });
        main.Action(QStringLiteral("mnConfig"))->trigger();
    }

    // A department named through the book's name dialog.
    static void NameDialog(ModalScript& modal, const QString& name)
    {
        modal.Next<TFormNewPodr>([name](TFormNewPodr& d) {
            TypeInto(d.edName, name);
            Press(Qt::Key_Return);
        });
    }

    void Departments(TFormMain& main)
    {
        ModalScript modal;
        modal.Next<TFormPodr>([](TFormPodr& book) {
            ModalScript names;
            for (const char* name : {"Администрация", "Цех", "Участок сборки"}) {
                NameDialog(names, U(name));
                Click(Child<QPushButton>(&book, "btAdd"));
            }
            // The workshop's section goes under the workshop: dragged onto it
            // (the offscreen platform runs no drag, so the drop is the book's own).
            QTreeWidget* tree = book.Tree();
            ClickItem(tree, TreeItem(tree, U("Участок сборки")));
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Choice).Press(U("Включить в структуру выбранного подразделения"));
            msgs.Expect(MsgKind::Question).Containing(U("Назначить головное подразделение")).Yes();
            book.DropPodr(tree->currentItem(), TreeItem(tree, U("Цех")));
            Shot(&book, QStringLiteral("02-departments"));
            Click(Child<QPushButton>(&book, "btClose"));
        });
        main.Action(QStringLiteral("mnPodr"))->trigger();
        QTreeWidgetItem* section = TreeItem(main.tvp, U("Участок сборки"));
        ASSERT_NE(section, nullptr);
        ASSERT_NE(section->parent(), nullptr);
        EXPECT_TRUE(section->parent()->text(0).contains(U("Цех")));
    }

    // Rows typed into a code book: the name of each new row.
    static void CodeBook(TFormGridBook& book, const QStringList& names)
    {
        for (const QString& name : names) {
            Click(Child<QToolButton>(&book, "sbAdd"));
            Type(name);
        }
        Shot(&book, book.objectName());
        // The last row is still being typed: closing asks about it.
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::SaveChanges).Yes();
        Click(Child<QPushButton>(&book, "btClose"));
    }

    void PostsAndCategories(TFormMain& main)
    {
        ModalScript modal;
        modal.Next<TFormSprPost>([](TFormSprPost& book) { CodeBook(book, {U("Слесарь"), U("Сборщик")}); });
        modal.Next<TFormSprCtgr>([](TFormSprCtgr& book) { CodeBook(book, {U("Руководители"), U("Специалисты")}); });
        main.Action(QStringLiteral("mnPost"))->trigger();
        main.Action(QStringLiteral("mnCtgr"))->trigger();
    }

    // The positions of each department: post, category, rates, places, pay system.
    void StaffSchedule(TFormMain& main)
    {
        struct Position {
            const char* podr;
            const char* cells; // from the post on, a cell each, Tab between
        };
        const Position positions[] = {
            {"Администрация", "1 4 60000 40000 1 0 0"},
            {"Администрация", "4 5 40000 25000 2 0 0"},
            {"Цех", "7 2 30000 20000 3 0 1"},
            {"Участок сборки", "8 2 25000 15000 2 0 0"},
        };
        ModalScript modal;
        modal.Next<TFormSprStaff>([&](TFormSprStaff& book) {
            for (const Position& p : positions) {
                ClickItem(book.Tree(), TreeItem(book.Tree(), U(p.podr)));
                Click(Child<QToolButton>(&book, "sbAdd"));
                for (const QString& cell : QString::fromLatin1(p.cells).split(QLatin1Char(' '))) {
                    Type(cell);
                    Press(Qt::Key_Tab);
                }
            }
            Shot(&book, QStringLiteral("04-staff"));
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::SaveChanges).Yes();
            Click(Child<QPushButton>(&book, "btClose"));
        });
        main.Action(QStringLiteral("mnStaff"))->trigger();
    }

    // January and February of the first start's calendar get their norms.
    void WorkCalendar(TFormMain& main)
    {
        ModalScript modal;
        modal.Next<TFormSprClndr>([](TFormSprClndr& book) {
            Tyq_DrawGrid* grid = book.dgTable;
            EXPECT_EQ(book.TableCellText(0, 1), U("Январь"));
            EXPECT_EQ(book.TableCellText(0, 2), U("Февраль"));
            Click(book.btTblChange);
            const char* norms[2][3] = {{"17", "136", "8"}, {"20", "160", "8"}};
            for (int month = 0; month < 2; ++month)
                for (int col = 1; col <= 3; ++col) {
                    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(col, month + 1).center());
                    QTest::keyClick(grid->InplaceEditor(), Qt::Key_A, Qt::ControlModifier);
                    Type(QString::fromLatin1(norms[month][col - 1]));
                }
            {
                // Esc takes back a cell being typed, and nothing is asked.
                ScriptedMessages none;
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, 1).center());
                QTest::keyClick(grid->InplaceEditor(), Qt::Key_A, Qt::ControlModifier);
                Type(QStringLiteral("2"));
                Press(Qt::Key_Escape);
                EXPECT_EQ(grid->InplaceEditor()->text(), U("17"));
                EXPECT_EQ(book.TableCellText(1, 1), U("17"));
                EXPECT_TRUE(book.EditMode());
                EXPECT_TRUE(none.Log().isEmpty());
            }
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, 3).center());
            Shot(&book, QStringLiteral("05-calendar"));
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Choice).Title(U("Текущий календарь изменен")).Press(U("Сохранить"));
            Click(book.btTblChange);
            QTest::keyClick(&book, Qt::Key_Escape);
        });
        main.Action(QStringLiteral("mnClndr"))->trigger();
    }

    // The income-tax scale: a type, its table for the year, two lines.
    void TaxScale(TFormMain& main)
    {
        ModalScript modal;
        modal.Next<TFormSprPx>([](TFormSprPx& book) {
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Input).Enter(U("Основная шкала"));
            msgs.Expect(MsgKind::Input).Enter(Variant::FromDate(EncodeDate(2025, 1, 1)));
            Click(Child<QToolButton>(&book, "btTipAdd"));
            Click(Child<QToolButton>(&book, "btTblAdd"));
            Click(Child<QToolButton>(&book, "btTblChange"));
            TDBGrid* lines = book.LineGrid();
            const auto cell = [lines](int row, int col, const QString& text) {
                QTest::mouseClick(
                    lines->viewport(), Qt::LeftButton, {}, lines->visualRect(lines->Model()->index(row, col)).center());
                Type(text);
            };
            cell(0, 2, QStringLiteral("13"));
            cell(1, 0, QStringLiteral("1200000"));
            cell(1, 1, QStringLiteral("156000"));
            cell(1, 2, QStringLiteral("30"));
            cell(0, 0, QStringLiteral("0"));
            Shot(&book, QStringLiteral("06-tax"));
            msgs.Expect(MsgKind::SaveChanges).Yes();
            Click(Child<QPushButton>(&book, "btClose"));
        });
        main.Action(QStringLiteral("mnPx"))->trigger();
    }

    // A kind's base on its card in the accrual book: the kinds it is taken from, ticked.
    static void TickBase(TFormSprDop& book, qint32 dopNum, const char* name, const QList<const char*>& kinds)
    {
        SCOPED_TRACE(name);
        ClickTab(book.pc, book.pc->widget(0));
        const int row = book.ShownDops().indexOf(dopNum);
        ASSERT_GE(row, 0) << "the kind is listed";
        const QModelIndex index = book.lvt->model()->index(row, 3);
        ASSERT_EQ(index.data().toString(), U(name));
        QTest::mouseClick(book.lvt->viewport(), Qt::LeftButton, {}, book.lvt->visualRect(index).center());
        QTest::mouseDClick(book.lvt->viewport(), Qt::LeftButton, {}, book.lvt->visualRect(index).center());
        TFormDoplEdit* card = book.Card();
        ASSERT_TRUE(card->isVisible()) << "the card page";
        Click(card->btEdit);
        ClickTab(card->pc, card->lvTabl->parentWidget());
        for (const char* kind : kinds) {
            QListWidgetItem* item = card->lvTabl->findItems(U(kind), Qt::MatchContains).value(0);
            ASSERT_NE(item, nullptr) << kind;
            card->lvTabl->scrollToItem(item);
            QTest::mouseClick(
                card->lvTabl->viewport(), Qt::LeftButton, {}, card->lvTabl->visualItemRect(item).center());
            QTest::keyClick(card->lvTabl, Qt::Key_Space);
            EXPECT_EQ(item->checkState(), Qt::Checked) << kind;
        }
        Shot(&book, QStringLiteral("07-base-") + QString::number(dopNum));
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::SaveChanges).Yes();
        Click(card->btEdit);
    }

    // The accrual book: the accruals the income tax is taken from (a fresh
    // data base has none), and those a premium is a percentage of.
    void AccrualBases(TFormMain& main)
    {
        main.Action(QStringLiteral("mnDopl"))->trigger();
        auto* book = qobject_cast<TFormSprDop*>(OpenWindow("TFormSprDop"));
        ASSERT_NE(book, nullptr);
        TickBase(*book, 200, "Подоходный налог",
            {"Повременно", "Сдельно", "Премия", "Отпуск", "Больничный", "Прочие доплаты"});
        TickBase(*book, 3, "Премия", {"Повременно", "Сдельно"});
        book->close();
    }

    // ---- the staff

    struct Hire {
        const char* fio;
        const char* podr;
        int position; // row of the department's staff schedule
        const char* okl;
        int relief = 0; // per cent of the tax let off
        int ksop = -1; // the pay system, when not the position's
        const char* unit = "руб. в месяц"; // shown beside the salary
    };

    // One employee through the new-employee wizard, page by page.
    static void HireOne(TFormMain& main, const Hire& h)
    {
        ModalScript modal;
        modal.Next<TFormNewEmploy>([&](TFormNewEmploy& w) {
            const auto next = [&w](int page) {
                Click(w.btNextPage);
                ASSERT_EQ(w.PageIndex(), page) << "\"Далее\" moved on";
            };
            // The dates typed as the clerk types them (today's, as the figures
            // were worked out for), then the name and Enter, as a clerk ends a line.
            TypeDate(w.edDateOrder, DateToStr(Date()));
            TypeDate(w.edDateBeg, DateToStr(Date()));
            TypeInto(w.edFio, U(h.fio));
            Press(Qt::Key_Return);
            ASSERT_EQ(w.PageIndex(), TFormNewEmploy::pgTN) << "Enter moved on";
            Shot(&w, QStringLiteral("08-hire-number"));
            Click(w.sbNextNum);
            next(TFormNewEmploy::pgPodr);
            ModalScript pickers;
            pickers.Next<TFormSrSelect>([&](TFormSrSelect& picker) {
                ClickItem(picker.tvp, TreeItem(picker.tvp, U(h.podr)));
                Click(picker.btOk);
            });
            pickers.Next<TFormSprStaff>([&](TFormSprStaff& staff) {
                ASSERT_NE(staff.Tree()->currentItem(), nullptr);
                EXPECT_EQ(staff.Tree()->currentItem()->text(0), U(h.podr)) << "the picker stands on the department";
                TDBGrid* grid = staff.Grid();
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                    grid->visualRect(grid->Model()->index(h.position, 1)).center());
                Click(Child<QPushButton>(&staff, "btOk"));
            });
            Click(w.btPodr);
            Click(w.btPost);
            EXPECT_EQ(w.edPodr->text(), U(h.podr));
            next(TFormNewEmploy::pgKso);
            if (h.ksop >= 0)
                ChooseItem(w.cbKSop, h.ksop);
            TypeInto(w.edOkl, QString::fromLatin1(h.okl));
            EXPECT_EQ(Child<QLabel>(&w, "lbOklUnit")->text(), U(h.unit)) << "the unit of the salary field";
            EXPECT_EQ(w.edOkl->DisplayText().endsWith(U(" р.")), U(h.unit).startsWith(U("руб.")))
                << "a ruble sign only on rubles: " << w.edOkl->DisplayText().toStdString();
            Shot(&w, QStringLiteral("08-hire-pay-") + QString::number(w.cbKSop->currentIndex()));
            next(TFormNewEmploy::pgPN);
            if (h.relief > 0) {
                Click(w.rbPNC);
                TypeInto(w.edPNLgota, QString::number(h.relief));
            }
            next(TFormNewEmploy::pgLastData);
            next(TFormNewEmploy::pgEnd);
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Choice).Title(U("Сохранить изменения")).Press(U("Да"));
            Click(w.btSave);
        });
        main.Action(QStringLiteral("mnNewTabn"))->trigger();
        // The new employee is listed and chosen at once.
        EXPECT_GE(RowOf(main.lvt, 2, U(h.fio)), 0) << h.fio << " is listed";
        EXPECT_EQ(CurrentPodrText(main), U(h.podr));
    }

    void Hires(TFormMain& main)
    {
        const Hire hires[] = {
            {"Иванов Иван Иванович", "Администрация", 0, "50000"},
            {"Кузнецова Анна Сергеевна", "Администрация", 1, "32000", 50},
            {"Петров Петр Петрович", "Цех", 0, "25000", 0, -1, "коп. в час = 250,00 руб."},
            {"Сидоров Сидор Сидорович", "Цех", 0, "20000", 0, 2, "коп. в час = 200,00 руб."},
            {"Смирнов Олег Петрович", "Участок сборки", 0, "20000"},
        };
        for (const Hire& h : hires)
            HireOne(main, h);
        Shot(&main, QStringLiteral("09-hired"));
    }

    static QString CurrentPodrText(TFormMain& main)
    {
        QTreeWidgetItem* item = main.tvp->currentItem();
        return item ? item->text(0).section(QLatin1Char(']'), 1).trimmed() : QString();
    }

    // The tree's department, then the list's employee, as the clerk clicks them.
    static void ChooseEmployee(TFormMain& main, const char* podr, const char* fio)
    {
        if (main.pcMain->currentWidget() != main.tabSR)
            ClickTab(main.pcMain, main.tabSR);
        ClickItem(main.tvp, TreeItem(main.tvp, U(podr)));
        const int row = RowOf(main.lvt, 2, U(fio));
        ASSERT_GE(row, 0) << fio << " is listed in " << podr;
        ClickRow(main.lvt, row);
        ASSERT_EQ(CellText(main.lvt, row, 2), main.SelectedCard() ? U(fio) : QString());
    }

    static void ClickTab(QTabWidget* tabs, QWidget* page)
    {
        QTabBar* bar = tabs->tabBar();
        Activate(bar);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tabs->indexOf(page)).center());
        ASSERT_EQ(tabs->currentWidget(), page);
    }

    // Кузнецова's salary was typed wrong in the wizard: mended on her card.
    void EditCard(TFormMain& main)
    {
        main.Action(QStringLiteral("mnSR"))->trigger();
        ChooseEmployee(main, "Администрация", "Кузнецова Анна Сергеевна");
        ClickTab(main.pcMain, main.tabSrCard);
        auto* card = main.findChild<TFormTabnEdit*>();
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->edFio->text(), U("Кузнецова Анна Сергеевна"));
        EXPECT_DOUBLE_EQ(card->edOkl->Value(), 32000);
        Click(card->sbChange);
        TypeInto(card->edOkl, QStringLiteral("34000"));
        Shot(&main, QStringLiteral("10-card"));
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::SaveChanges).Yes();
        Click(card->sbChange);
        ClickTab(main.pcMain, main.tabSR);
        ClickAction(&main, "btCloseSpr");
        bool found = false;
        EXPECT_DOUBLE_EQ(T_xTabn::CreateByTabNum(DNList(), main.CurTabn(), found)->Okl, 34000) << "saved";
    }

    // One entry of the month's input: the kind picked from the list, then
    // its hours or its sum typed.
    static void Enter(TFormMain& main, qint32 dopNum, const QString& value)
    {
        ModalScript modal;
        modal.Next<TFormDpSelect>([dopNum](TFormDpSelect& picker) {
            const int row = picker.ShownDops().indexOf(dopNum);
            ASSERT_GE(row, 0) << dopNum << " is offered";
            const QModelIndex index = picker.lvt->model()->index(row, 2);
            picker.lvt->scrollTo(index);
            QTest::mouseClick(picker.lvt->viewport(), Qt::LeftButton, {}, picker.lvt->visualRect(index).center());
            Click(picker.btOk);
        });
        modal.Next<TFormInVvod>([&value](TFormInVvod& input) {
            TypeInto(input.edDTime->isEnabled() ? static_cast<QWidget*>(input.edDTime) : input.edSum, value);
            Press(Qt::Key_Return);
        });
        ClickAction(&main, "acVvodAdd");
    }

    struct Input {
        const char* podr;
        const char* fio;
        QList<QPair<qint32, const char*>> entries;
    };

    void MonthInput(TFormMain& main, const QList<Input>& inputs)
    {
        for (const Input& in : inputs) {
            ChooseEmployee(main, in.podr, in.fio);
            ClickTab(main.pcMain, main.tabVvod);
            ClickTab(main.pcVvod, main.tabVvData);
            for (const auto& [dopNum, value] : in.entries) {
                Enter(main, dopNum, QString::fromLatin1(value));
                const bool listed = main.InputDops().FindTabnDop(dopNum) || main.InputUders().FindTabnDop(dopNum);
                EXPECT_TRUE(listed) << in.fio << ": " << dopNum;
            }
            ClickTab(main.pcMain, main.tabSR);
        }
    }

    // Списочный состав, then Режим расчетов: the staff bars go, the period
    // page shows the employee the clerk had, and the mode is ticked. The
    // page's own department list then brings that department's first
    // employee with his input.
    void TwoModes(TFormMain& main)
    {
        ChooseEmployee(main, "Цех", "Петров Петр Петрович");
        const qint32 kept = main.CurTabn();
        main.Action(QStringLiteral("mnSR"))->trigger();
        EXPECT_TRUE(main.tbSrBase->isVisible());
        main.Action(QStringLiteral("mnCalcMode"))->trigger();
        for (QWidget* bar : {static_cast<QWidget*>(main.tbSrBase), static_cast<QWidget*>(main.tbSrDel),
                 static_cast<QWidget*>(main.CoolBarSrSpr)})
            EXPECT_FALSE(bar->isVisible()) << bar->objectName().toStdString();
        ASSERT_EQ(main.pcMain->currentWidget(), main.tabVvod);
        EXPECT_EQ(main.CurTabn(), kept);
        EXPECT_TRUE(main.cbVvTabNum->currentText().contains(U("Петров")))
            << main.cbVvTabNum->currentText().toStdString();
        EXPECT_NE(main.InputDops().FindTabnDop(60), nullptr) << "his sick pay";
        EXPECT_TRUE(main.Action(QStringLiteral("mnCalcMode"))->isChecked());
        EXPECT_FALSE(main.Action(QStringLiteral("mnSR"))->isChecked());
        Shot(&main, QStringLiteral("11-two-modes"));
        ChooseItem(main.cbVvPodr, main.cbVvPodr->findText(U("Администрация"), Qt::MatchContains));
        EXPECT_EQ(CurrentPodrText(main), U("Администрация"));
        EXPECT_TRUE(main.cbVvTabNum->currentText().contains(U("Иванов")))
            << main.cbVvTabNum->currentText().toStdString();
        EXPECT_EQ(main.InputDops().TabNum, main.CurTabn());
        EXPECT_NE(main.InputDops().FindTabnDop(3), nullptr) << "his input";
        ClickTab(main.pcMain, main.tabSR);
    }

    // The figures of the results page.
    static QString Total(TFormMain& main, const char* label) { return main.TotalLabel(QLatin1String(label))->text(); }
    static QString ResultSum(QTreeView* list, const char* kind)
    {
        const int row = RowOf(list, 1, U(kind));
        return row >= 0 ? CellText(list, row, list->model()->columnCount() - 1) : QStringLiteral("(нет)");
    }

    // The figures worked by hand, as the results page shows them.
    struct Pay {
        const char* podr;
        const char* fio;
        const char* accrued;
        const char* tax;
        const char* deducted;
        const char* toPay;
    };

    static void CheckResults(TFormMain& main, const Pay& p)
    {
        SCOPED_TRACE(p.fio);
        ChooseEmployee(main, p.podr, p.fio);
        ClickTab(main.pcMain, main.tabVvod);
        ClickTab(main.pcVvod, main.tabVvRas);
        EXPECT_EQ(Total(main, "lbDop_Nachis"), U(p.accrued));
        EXPECT_EQ(ResultSum(main.lvRasU, "Подоходный налог"), U(p.tax));
        EXPECT_EQ(Total(main, "lbDop_Uder"), U(p.deducted));
        EXPECT_EQ(Total(main, "lbDop_Vsego"), U(p.toPay));
        ClickTab(main.pcMain, main.tabSR);
    }

    // One employee from his period page, a department, then the enterprise.
    void Calculate(TFormMain& main, const QList<Pay>& pays)
    {
        ChooseEmployee(main, "Администрация", "Иванов Иван Иванович");
        ClickTab(main.pcMain, main.tabVvod);
        EXPECT_EQ(main.Action(QStringLiteral("acCalc"))->text(), U("Рассчитать"));
        Shot(&main, QStringLiteral("12-period"));
        ClickAction(&main, "acCalc");
        EXPECT_EQ(main.pcVvod->currentWidget(), main.tabVvRas) << "the results are shown";
        Shot(&main, QStringLiteral("12-results"));
        ClickTab(main.pcMain, main.tabSR);

        ClickItem(main.tvp, TreeItem(main.tvp, U("Цех")));
        main.Action(QStringLiteral("mnCalcPodr"))->trigger();
        EXPECT_EQ(main.StatusPanel(QStringLiteral("StatusBar"), 1)->text(), U("Рассчитано: 2"));
        main.Action(QStringLiteral("mnCalcEnterprise"))->trigger();
        EXPECT_EQ(main.StatusPanel(QStringLiteral("StatusBar"), 1)->text(), U("Рассчитано: 5"));
        EXPECT_EQ(OpenWindow("TFormView"), nullptr) << "no error lines";
        for (const Pay& p : pays)
            CheckResults(main, p);
    }

    // ---- the documents

    // Every document of a catalogue kind, formed for the department shown,
    // its preview paged and printed; answers the printed texts by name.
    QMap<QString, QString> FormCatalogue(
        TFormMain& main, const char* menuItem, const QMap<QString, std::function<void(TFormReports&)>>& setUp = {})
    {
        QMap<QString, QString> printed;
        ModalScript modal;
        modal.Next<TFormReports>([&](TFormReports& catalogue) {
            EXPECT_EQ(
                catalogue.edPodrName->text(), main.tvp->currentItem()->text(0).section(QLatin1Char(']'), 1).trimmed());
            QList<QTreeWidgetItem*> docs;
            for (int i = 0; i < catalogue.tvDocs->topLevelItemCount(); ++i)
                for (int j = 0; j < catalogue.tvDocs->topLevelItem(i)->childCount(); ++j)
                    docs << catalogue.tvDocs->topLevelItem(i)->child(j);
            EXPECT_FALSE(docs.isEmpty());
            for (QTreeWidgetItem* doc : docs) {
                const QString name = doc->text(0);
                ClickItem(catalogue.tvDocs, doc);
                if (setUp.contains(name))
                    setUp[name](catalogue);
                ScriptedMessages msgs;
                Click(catalogue.btForm);
                auto* preview = qobject_cast<TPreviewForm*>(OpenWindow("TPreviewForm"));
                if (!preview) {
                    ADD_FAILURE() << name.toStdString() << " shows no preview";
                    continue;
                }
                // Paged to its last page and back to its first.
                for (int page = 2; page <= preview->PageCount(); ++page) {
                    Click(preview->NextPageBtn);
                    EXPECT_EQ(preview->CurrentPage(), page);
                }
                Activate(preview);
                Press(Qt::Key_PageDown, Qt::ControlModifier); // past the last page: it stays
                EXPECT_EQ(preview->StatusLabel->text(), QStringLiteral("Стр. %1/%1").arg(preview->PageCount()));
                for (int page = preview->PageCount() - 1; page >= 1; --page)
                    Press(Qt::Key_PageUp, Qt::ControlModifier);
                EXPECT_EQ(preview->CurrentPage(), 1);
                Shot(preview,
                    QStringLiteral("13-") + QString::fromLatin1(menuItem) + QLatin1Char('-')
                        + QString::number(docs.indexOf(doc)));
                printed[name] = PrintToPdf(*preview, folder_.File(name + QStringLiteral(".pdf")));
                // The preview is the clerk's while the catalogue waits behind it.
                QTest::mouseClick(preview->windowHandle(), Qt::LeftButton, {},
                    preview->ExitBtn->mapTo(preview, preview->ExitBtn->rect().center()));
                EXPECT_EQ(OpenWindow("TPreviewForm"), nullptr) << name.toStdString();
            }
            QTest::keyClick(&catalogue, Qt::Key_Escape);
        });
        main.Action(QString::fromLatin1(menuItem))->trigger();
        return printed;
    }

    // The payment sheet by input data pays the kinds of its first column:
    // the clerk sets them up once through "Настройка".
    static void SetUpInputPaySheet(TFormReports& catalogue)
    {
        ModalScript modal;
        modal.Next<TFormDocEdit>([](TFormDocEdit& params) {
            ClickTab(params.pc, params.tsRasVed);
            ModalScript tune;
            tune.Next<TFormVedTune>([](TFormVedTune& columns) {
                ScriptedMessages msgs;
                msgs.Expect(MsgKind::Input).Enter(U("Больничные"));
                Click(columns.btAdd);
                QTreeWidgetItem* sick = TreeItem(columns.lvDop, U("Больничный"));
                ASSERT_NE(sick, nullptr);
                ClickItem(columns.lvDop, sick);
                Press(Qt::Key_Space);
                EXPECT_EQ(sick->checkState(0), Qt::Checked);
                TypeInto(columns.edName, U("Больничные листы"));
                Shot(&columns, QStringLiteral("13-paysheet-columns"));
                msgs.Expect(MsgKind::SaveChanges).Yes();
                Click(columns.btOk);
            });
            Click(params.btRasVed);
            EXPECT_GT(params.edRVNum->text().toInt(), 0) << "a definition of its own";
            Click(params.btOk);
        });
        Click(catalogue.btSetup);
    }

    // A document whose template the clerk types without ".dcf": designed,
    // formed and deleted, it is the one file TEST.dcf, which goes with it.
    void TemplateWithoutExtension(TFormMain& main)
    {
        const QString file = TxtDir + QStringLiteral("TEST.dcf");
        ModalScript modal;
        modal.Next<TFormReports>([&](TFormReports& catalogue) {
            ModalScript params;
            params.Next<TFormDocEdit>([&](TFormDocEdit& doc) {
                TypeInto(doc.edName, U("Проба"));
                ChooseItem(doc.cbAlg, doc.cbAlg->findData(11));
                TypeInto(doc.edTemplate, QStringLiteral("TEST"));
                Click(doc.btDesign);
                QWidget* designer = OpenWindow("TDesignForm");
                ASSERT_NE(designer, nullptr);
                ClickAction(designer, "DocSave");
                EXPECT_TRUE(QFileInfo(file).isFile()) << "saved as TEST.dcf";
                ClickAction(designer, "DocSaveExit");
                EXPECT_EQ(OpenWindow("TDesignForm"), nullptr);
                Click(doc.btOk);
            });
            Click(catalogue.btAddDoc);
            {
                ScriptedMessages msgs; // found: no "Не найден файл-шаблон"
                Click(catalogue.btForm);
            }
            auto* preview = qobject_cast<TPreviewForm*>(OpenWindow("TPreviewForm"));
            ASSERT_NE(preview, nullptr);
            Click(preview->ExitBtn);
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::ConfirmDelete).Yes();
            Click(catalogue.btDelDoc);
            EXPECT_FALSE(QFileInfo::exists(file)) << "the template went with its document";
            QTest::keyClick(&catalogue, Qt::Key_Escape);
        });
        main.Action(QStringLiteral("mnVedRL"))->trigger();
    }

    void Documents(TFormMain& main)
    {
        ClickItem(main.tvp, TreeItem(main.tvp, U("Цех")));
        ChooseEmployee(main, "Цех", "Петров Петр Петрович");
        QMap<QString, QString> printed;
        for (const char* kind : {"mnVedRL", "mnVedRV", "mnVedPV", "mnVedSpr", "mnVedSvod"})
            printed.insert(
                FormCatalogue(main, kind, {{U("Платежная ведомость по входным данным"), &SetUpInputPaySheet}}));
        // What each document must show, its spaces folded; "-" before a text: must not.
        const QList<QPair<const char*, QStringList>> wanted = {
            {"Расчетные листы (широкие)",
                {U("Таб. № 3 Петров Петр Петрович"), U("Таб. № 4 Сидоров Сидор Сидорович"), U("К выплате: 31981,00"),
                    U("К выплате: 22672,00")}},
            {"Расчетные листы (узкие)",
                {U("Повременно 130,0 32500,00"), U("Больничный 0,0 4200,00"), U("Сдельно 130,0 26000,00"),
                    U("Подоходный налог 0,0 3328,00")}},
            {"Расчетная ведомость",
                {U("Петров Петр Петрович 0,00 36700,00 4719,00 31981,00"),
                    U("Сидоров Сидор Сидорович 0,00 26000,00 3328,00 22672,00"),
                    U("Итого по подразделению 0,00 62700,00 8047,00 54653,00"),
                    U("Пятьдесят четыре тысячи шестьсот пятьдесят три руб. 00 коп."),
                    U("Руководитель ______________ Иванов"), U("Главный бухгалтер ______________ Кузнецова")}},
            {"Платежная ведомость на зарплату",
                {U("Петров Петр Петрович 31981,00"), U("Сидоров Сидор Сидорович 22672,00"),
                    U("Итого по ведомости 54653,00")}},
            {"Платежная ведомость по входным данным",
                {U("Петров Петр Петрович 4200,00"), U("Итого по ведомости 4200,00"), U("-Сидоров")}},
            {"Справки должникам подразделения", {U("-Петров"), U("-Сидоров")}},
            {"Справка по должникам предприятия", {U("Подразделение 3 Цех"), U("-Петров")}},
            {"Свод по начислениям подразделения",
                {U("2 Повременно 32500,00"), U("200 Подоходный налог 8047,00"), U("к выплате: 54653,00")}},
            {"Свод по начислениям предприятия",
                {U("2 Повременно 130617,65"), U("200 Подоходный налог 19112,21"), U("к выплате: 145205,44")}},
        };
        EXPECT_EQ(printed.size(), wanted.size()) << "every document of the catalogue";
        for (const auto& [document, texts] : wanted) {
            const QString text = printed.value(U(document)).simplified();
            for (const QString& t : texts) {
                if (t.startsWith(QLatin1Char('-')))
                    EXPECT_FALSE(text.contains(t.mid(1))) << document << ": " << t.toStdString();
                else
                    EXPECT_TRUE(text.contains(t)) << document << ": " << t.toStdString() << "\n" << text.toStdString();
            }
        }
    }

    // The head and the chief accountant who sign the documents, picked
    // among the employees in the settings.
    void Signatories(TFormMain& main)
    {
        ModalScript modal;
        modal.Next<TFormConfig>([](TFormConfig& f) {
            ClickTab(f.pcConfig, f.edFioDir->parentWidget());
            ModalScript pickers;
            for (const char* fio : {"Иванов Иван Иванович", "Кузнецова Анна Сергеевна"})
                pickers.Next<TFormSrSelect>([fio](TFormSrSelect& picker) {
                    ClickItem(picker.tvp, TreeItem(picker.tvp, U("Администрация")));
                    ClickRow(picker.lvt, RowOf(picker.lvt, 2, U(fio)));
                    Click(picker.btOk);
                });
            Click(Child<QToolButton>(&f, "btDirector"));
            TypeInto(f.edNaimDirector, U("Директор"));
            Click(Child<QToolButton>(&f, "btGlBuh"));
            TypeInto(f.edNaimGlBuh, U("Главный бухгалтер"));
            EXPECT_EQ(f.edFioDir->text(), U("Иванов Иван Иванович"));
            EXPECT_EQ(f.edFioGlb->text(), U("Кузнецова Анна Сергеевна"));
            Shot(&f, QStringLiteral("10-signatories"));
            Click(f.btOk);
        });
        main.Action(QStringLiteral("mnConfig"))->trigger();
    }

    // ---- the month's close

    QString ArchiveFolder() const { return folder_.File(QStringLiteral("ARC")); }

    // Файл / Данные / "Сохранение/Восстановление": the data base into the archive.
    void SaveArchive(TFormMain& main)
    {
        ModalScript modal;
        modal.Next<TFormSave>([this](TFormSave& f) {
            ASSERT_EQ(f.pc->currentWidget(), f.tabSave);
            TypeInto(f.edCopyPath, ArchiveFolder());
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Choice).Title(U("Не найден директорий")).Press(U("Создать"));
            msgs.Expect(MsgKind::StandardBox).Details(U("Данные сохранены\r\n") + ArchiveFolder());
            Shot(&f, QStringLiteral("14-archive"));
            Click(f.btSave);
            QTest::keyClick(&f, Qt::Key_Escape);
        });
        main.Action(QStringLiteral("mnSave"))->trigger();
        EXPECT_TRUE(QFile::exists(ArchiveFolder() + QStringLiteral("/Qor_arj.arj")));
    }

    // Расчеты / "Переход на новый период": February, then the program ends.
    void Transition(TFormMain& main)
    {
        ModalScript modal;
        modal.Next<TFormPerehod>([](TFormPerehod& f) {
            EXPECT_EQ(f.lbHeader->text(), U("Переход на Февраль  2025"));
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Warning).Containing(U("Отменить переход на новый период"));
            msgs.Expect(MsgKind::Question).Containing(U("Выполнить переход ?")).Yes();
            ModalScript offer;
            offer.Next<TFormSave>([](TFormSave& save) {
                EXPECT_EQ(save.windowTitle(), U("Сохранение данных перед переходом на новый период"));
                QTest::keyClick(&save, Qt::Key_Escape); // saved a moment ago
            });
            Click(f.btOk);
            EXPECT_TRUE(f.Done());
            EXPECT_EQ(f.btOk->text(), U("Завершить выполнение программы"));
            Shot(&f, QStringLiteral("15-transition"));
            Click(f.btOk);
        });
        main.Action(QStringLiteral("mnPerehod"))->trigger();
    }

    // ---- February

    void Dismiss(TFormMain& main, const char* podr, const char* fio)
    {
        main.Action(QStringLiteral("mnSR"))->trigger();
        ChooseEmployee(main, podr, fio);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Question).Title(U("Уволить работника")).Yes();
        ClickAction(&main, "btDismiss");
        EXPECT_EQ(RowOf(main.lvt, 2, U(fio)), -1) << "no more among the working";
        ClickAction(&main, "btCloseSpr");
    }

    // The premium window: 10 % of January's time-based and piece-work pay
    // for the workshop, Сидоров unticked.
    void Premium(TFormMain& main)
    {
        ModalScript modal;
        modal.Next<TFormCalcPrem>([](TFormCalcPrem& f) {
            ChooseItem(f.cbPodr, f.cbPodr->findText(U("Цех"), Qt::MatchContains));
            TypeInto(f.edProc, QStringLiteral("10"));
            TypeDate(f.deBeg, QStringLiteral("01.01.2025"));
            TypeDate(f.deEnd, QStringLiteral("31.01.2025"));
            Click(f.cbAuto);
            f.lvt->setFocus();
            QTest::keyClick(f.lvt, Qt::Key_Plus, Qt::KeypadModifier);
            const int sidorov = f.lvt->findItems(U("Сидоров"), Qt::MatchContains).value(0)->row();
            const QRect box = f.lvt->visualItemRect(f.lvt->item(sidorov, 0));
            QTest::mouseClick(f.lvt->viewport(), Qt::LeftButton, {}, QPoint(box.left() + 10, box.center().y()));
            Shot(&f, QStringLiteral("17-premium"));
            Click(f.btCalc);
            EXPECT_EQ(f.lbStatus->text(), U("Расчет с ЗАМЕЩЕНИЕМ выполнен"));
            QTest::keyClick(&f, Qt::Key_Escape);
        });
        main.Action(QStringLiteral("mnPremii"))->trigger();
    }

    // Файл / Данные / "Сохранение/Восстановление": the archive back.
    void RestoreArchive(TFormMain& main)
    {
        ModalScript modal;
        modal.Next<TFormSave>([this](TFormSave& f) {
            EXPECT_EQ(f.edCopyPath->text(), ArchiveFolder()) << "the dialog keeps the folder";
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Choice)
                .Title(U("Для обеспечения большей безопасности рекомендуется выполнить резервное копирование данных"))
                .Press(U("Продолжить без резервного копирования"));
            msgs.Expect(MsgKind::Question).Containing(U("Продолжить ?")).Yes();
            msgs.Expect(MsgKind::StandardBox).Details(U("Данные восстановлены\r\nРабочая дата: 15.01.2025"));
            Click(f.btRestore);
            QTest::keyClick(&f, Qt::Key_Escape);
        });
        main.Action(QStringLiteral("mnSave"))->trigger();
    }

    ScopedFakeClock clock_{45672.5}; // 15.01.2025, noon
    TSilentProgress progress_;
    ScopedProgress progressScope_{&progress_};
    ScopedProgramFolder folder_;
};

TEST_F(AcceptanceTest, AClerksMonthAndTheNext)
{
    // January: 136 hours. Иванов 50000 / 136 x 120 h + 5000; Петров
    // 250,00 x 130 h + 4200; Сидоров 200,00 x 130 h. The tax: 13 % of
    // what exceeds 4 minimal wages of 100, in whole rubles (Иванов:
    // 49117,65 - 400 = 48717 x 13 % = 6333,21), Кузнецова half of it.
    const QList<Pay> january = {
        {"Администрация", "Иванов Иван Иванович", "49117,65", "6333,21", "6333,21", "42784,44"},
        {"Администрация", "Кузнецова Анна Сергеевна", "34000,00", "2184,00", "3684,00", "30316,00"},
        {"Цех", "Петров Петр Петрович", "36700,00", "4719,00", "4719,00", "31981,00"},
        {"Цех", "Сидоров Сидор Сидорович", "26000,00", "3328,00", "3328,00", "22672,00"},
        {"Участок сборки", "Смирнов Олег Петрович", "20000,00", "2548,00", "2548,00", "17452,00"},
    };
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Details(U("Создаем алиас \"Qor\"\r\n") + folder_.Path() + QStringLiteral("DB/"));
        msgs.Expect(MsgKind::Warning).Details(U("Сегодня :    15.01.2025"));
        ASSERT_EQ(RunSession([&](TFormMain& main) {
            ScriptedMessages clerk;
            Shot(&main, QStringLiteral("00-first-start"));
            Settings(main);
            Departments(main);
            PostsAndCategories(main);
            StaffSchedule(main);
            WorkCalendar(main);
            TaxScale(main);
            AccrualBases(main);
            Hires(main);
            EditCard(main);
            Signatories(main);
            MonthInput(main,
                {
                    {"Администрация", "Иванов Иван Иванович", {{2, "120"}, {3, "5000"}}},
                    {"Администрация", "Кузнецова Анна Сергеевна", {{2, "136"}, {300, "1500"}}},
                    {"Цех", "Петров Петр Петрович", {{2, "130"}, {60, "4200"}}},
                    {"Цех", "Сидоров Сидор Сидорович", {{1, "130"}}},
                    {"Участок сборки", "Смирнов Олег Петрович", {{2, "136"}}},
                });
            Shot(&main, QStringLiteral("11-input"));
            TwoModes(main);
            Calculate(main, january);
            Documents(main);
            TemplateWithoutExtension(main);
            SaveArchive(main);
            Transition(main);
            Shot(&main, QStringLiteral("03-main"));
        }),
            0);
    }
    // February: the program started again on the same folder.
    clock_.clock.SetNow(45702.5); // 14.02.2025
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Details(U("Сегодня :    14.02.2025"));
        ASSERT_EQ(RunSession([&](TFormMain& main) {
            ScriptedMessages clerk;
            EXPECT_TRUE(main.windowTitle().contains(U("[Февраль 2025]"))) << main.windowTitle().toStdString();
            Dismiss(main, "Участок сборки", "Смирнов Олег Петрович");
            Premium(main);
            MonthInput(main,
                {
                    {"Администрация", "Иванов Иван Иванович", {{2, "160"}}},
                    {"Администрация", "Кузнецова Анна Сергеевна", {{2, "160"}}},
                    {"Цех", "Петров Петр Петрович", {{2, "150"}}},
                    {"Цех", "Сидоров Сидор Сидорович", {{1, "150"}}},
                });
            main.Action(QStringLiteral("mnCalcEnterprise"))->trigger();
            EXPECT_EQ(main.StatusPanel(QStringLiteral("StatusBar"), 1)->text(), U("Рассчитано: 4"));
            Shot(&main, QStringLiteral("18-february"));
            // January's pay is paid out: it comes in as a deduction, and the
            // balance carried in is the same sum. The tax runs on the year:
            // 13 % of both months less 800, less January's tax. Петров:
            // 250,00 x 150 h + 10 % of January's 32500 = 40750; (36700 +
            // 40750 - 800) x 13 % - 4719 = 5245,50; 31981 + 5245,50 deducted.
            for (const Pay& p : QList<Pay>{
                     {"Администрация", "Кузнецова Анна Сергеевна", "34000,00", "2184,00", "32500,00", "31816,00"},
                     {"Цех", "Петров Петр Петрович", "40750,00", "5245,50", "37226,50", "35504,50"},
                     // Unticked in the premium window: no premium.
                     {"Цех", "Сидоров Сидор Сидорович", "30000,00", "3848,00", "26520,00", "26152,00"},
                 })
                CheckResults(main, p);
            RestoreArchive(main);
            EXPECT_TRUE(main.windowTitle().contains(U("[Январь 2025]"))) << main.windowTitle().toStdString();
            EXPECT_EQ(main.dtVvodDate->maximumDate(), QDate(2025, 1, 15)) << "the restored month's dates";
            for (const Pay& p : january)
                CheckResults(main, p);
        }),
            0);
    }
}

} // namespace
