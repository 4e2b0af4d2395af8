// Every window of the program, opened from the running program as the clerk
// opens it, at its default size and on a 1366x768 screen, with the default
// program fonts and with a 16-pt main font: no label, header, title, button
// or caption text is cut (nor a shadow or the lower strokes of letters),
// every date reads dd.mm.yyyy, and a screenshot of each page of each window
// is left under test-artifacts/ ("texts_*", "texts16_*").

#include "ShippedProgram.h"
#include "app/program/QorProgram.h"
#include "archive/ui/FormPerehod.h"
#include "archive/ui/ImportData.h"
#include "calc/ui/CalcPrem.h"
#include "calc/ui/DoplEdit.h"
#include "calc/ui/EditFml.h"
#include "calc/ui/NewDopl.h"
#include "calc/ui/RTEdit.h"
#include "calc/ui/SprDop.h"
#include "calc/ui/TbSelect.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/ui/About.h"
#include "data/ui/DpSelect.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/FormsVw.h"
#include "data/ui/InVvod.h"
#include "data/ui/Otl.h"
#include "data/ui/Program.h"
#include "data/ui/ProgramFonts.h"
#include "data/ui/ResultR.h"
#include "data/ui/Splash.h"
#include "data/ui/SrSelect.h"
#include "desk/Brows.h"
#include "desk/FontDlg.h"
#include "desk/Main.h"
#include "desk/PodrBook.h"
#include "desk/SprClndr.h"
#include "desk/SprStaff.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/Progress.h"
#include "foundation/ui/controls/ShadowLabel.h"
#include "foundation/ui/dialogs/Bars.h"
#include "foundation/ui/dialogs/Clndr.h"
#include "foundation/ui/dialogs/GetMean.h"
#include "foundation/ui/dialogs/MsgWin.h"
#include "foundation/ui/dialogs/TextView.h"
#include "foundation/ui/dialogs/WMsgs.h"
#include "foundation/ui/edits/DateEdit.h"
#include "reports/ReportDocument.h"
#include "reports/ui/DesignDialogs.h"
#include "reports/ui/DesignForm.h"
#include "reports/ui/DocEdit.h"
#include "reports/ui/PreviewForm.h"
#include "reports/ui/VedTune.h"
#include "support/CalcBuilders.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <set>

namespace {

// A caption as it shows: "&&" is one "&", a single "&" marks the mnemonic.
QString Shown(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

int WidestLine(const QFontMetrics& fm, const QString& text)
{
    int widest = 0;
    for (const QString& line : QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split('\n'))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

// The texts of the visible controls of a window that do not fit their place.
QStringList CutTexts(QWidget* window)
{
    QStringList cut;
    const auto report = [&cut](const QWidget* w, const QString& text, int need, int have) {
        cut << QStringLiteral("%1 \"%2\": %3 of %4 px")
                   .arg(w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName(),
                       text.left(60))
                   .arg(need)
                   .arg(have);
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->width() <= 0 || w->height() <= 0)
            continue;
        const QFontMetrics fm = w->fontMetrics();
        QStyle* style = w->style();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            const QString text = label->text();
            if (text.isEmpty() || label->textFormat() == Qt::RichText
                || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
                continue;
            // A shadow label draws its shadow beside and below the text.
            int shadowWidth = 0;
            if (auto* shadow = qobject_cast<Tyq_ShadowLabel*>(label)) {
                const int d = shadow->ShadowDepth();
                shadowWidth = shadow->TextStyle() == tsNone ? 0 : shadow->TextStyle() == tsShadow ? d : 2 * d;
                const int lines = shadow->DisplayText().count(QLatin1Char('\n')) + 1;
                const int need = lines * fm.height() + shadowWidth;
                if (!label->wordWrap() && need > label->contentsRect().height())
                    report(label, text, need, label->contentsRect().height());
                if (shadow->TextElipsis() != tsNoneElisis)
                    continue; // shortened on purpose, with an ellipsis
            }
            const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), 0);
            if (label->wordWrap()) {
                const int need = label->heightForWidth(label->width());
                if (need > label->height() + 1)
                    report(label, text, need, label->height());
            } else {
                const int need = WidestLine(fm, Shown(text)) + std::max(label->indent(), 0) + shadowWidth;
                if (need > room.width() + 1)
                    report(label, text, need, room.width());
            }
        } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
            const int need = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w)
                + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w)
                + fm.horizontalAdvance(Shown(check->text()));
            if (!check->text().isEmpty() && need > w->width() + 1)
                report(w, check->text(), need, w->width());
        } else if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            const int need = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w)
                + style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w)
                + fm.horizontalAdvance(Shown(radio->text()));
            if (!radio->text().isEmpty() && need > w->width() + 1)
                report(w, radio->text(), need, w->width());
        } else if (auto* push = qobject_cast<QPushButton*>(w)) {
            // The room the style leaves the caption inside the button's frame.
            QStyleOptionButton opt;
            opt.initFrom(push);
            opt.rect = push->rect();
            const int have = style->subElementRect(QStyle::SE_PushButtonContents, &opt, push).width();
            const int icon = push->icon().isNull() ? 0 : push->iconSize().width() + 4;
            const int need = WidestLine(fm, Shown(push->text())) + icon;
            if (!push->text().isEmpty() && need > have + 1)
                report(w, push->text(), need, have);
        } else if (auto* tool = qobject_cast<QToolButton*>(w)) {
            if (!tool->text().isEmpty() && tool->toolButtonStyle() != Qt::ToolButtonIconOnly
                && !(tool->toolButtonStyle() == Qt::ToolButtonFollowStyle && !tool->icon().isNull())
                && tool->sizeHint().width() > w->width() + 1)
                report(w, tool->text(), tool->sizeHint().width(), w->width());
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            QFont bold = group->font();
            const int need = QFontMetrics(bold).horizontalAdvance(Shown(group->title())) + 16
                + (group->isCheckable() ? style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) + 4 : 0);
            if (!group->title().trimmed().isEmpty() && need > w->width() + 1)
                report(w, group->title(), need, w->width());
        } else if (auto* header = qobject_cast<QHeaderView*>(w)) {
            if (header->orientation() != Qt::Horizontal || !header->model())
                continue;
            const QFontMetrics hf(header->font());
            const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
            for (int i = 0; i < header->count(); ++i) {
                if (header->isSectionHidden(i) || header->sectionSize(i) <= 0)
                    continue;
                const QString text = header->model()->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
                const int mark = header->isSortIndicatorShown() && header->sortIndicatorSection() == i
                    ? style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header)
                    : 0;
                const int need = WidestLine(hf, text) + 2 * margin + mark;
                if (!text.isEmpty() && need > header->sectionSize(i) + 1)
                    report(header, QStringLiteral("%1 / %2").arg(header->parentWidget()->objectName(), text), need,
                        header->sectionSize(i));
            }
        } else if (auto* edit = qobject_cast<QLineEdit*>(w); edit && edit->text().contains(QLatin1Char('/'))) {
            // A file field shows its whole path.
            const int need = fm.horizontalAdvance(edit->text()) + 2 * 4;
            if (need > edit->contentsRect().width())
                report(w, edit->text(), need, edit->contentsRect().width());
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            const int space = style->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
            for (int i = 0; i < tabs->count(); ++i) {
                const int need = QFontMetrics(tabs->font()).horizontalAdvance(Shown(tabs->tabText(i))) + space;
                if (tabs->isTabVisible(i) && tabs->tabRect(i).width() + 1 < need)
                    report(tabs, tabs->tabText(i), need, tabs->tabRect(i).width());
            }
        }
    }
    // A window manager shows a box's caption in a bold title font of about
    // 10 points beside the frame's icon and buttons.
    if (qobject_cast<TFormMessage*>(window) || qobject_cast<QMessageBox*>(window)) {
        QFont title = QApplication::font();
        title.setBold(true);
        title.setPointSizeF(std::max(title.pointSizeF(), 10.0));
        const int need = QFontMetrics(title).horizontalAdvance(window->windowTitle()) + 100;
        if (need > window->width())
            report(window, window->windowTitle(), need, window->width());
    }
    return cut;
}

// Dates as the clerk reads and types them.
QStringList ForeignDates(QWidget* window)
{
    static const QRegularExpression date(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d\\d\\d\\d$"));
    QStringList out;
    for (QDateEdit* e : window->findChildren<QDateEdit*>())
        if (e->displayFormat() != QLatin1String("dd.MM.yyyy")
            || !(date.match(e->text()).hasMatch() || e->text() == e->specialValueText()))
            out << QStringLiteral("%1 shows the date \"%2\"").arg(e->objectName(), e->text());
    return out;
}

// Texts in English where the clerk reads Russian: Latin words of visible
// captions, headers and titles. The program's own Latin words pass (its
// name, "Ok", the designer's DX and DY...), so do file names and the debug
// windows, which show the tables as they are.
QStringList ForeignWords(QWidget* window)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    static const QRegularExpression fileName(QStringLiteral("\\S*[/.]\\S*[A-Za-z]\\S*"));
    static const QStringList own{QStringLiteral("Ok"), QStringLiteral("OK"), QStringLiteral("Qor"),
        QStringLiteral("QOR"), QStringLiteral("QO"), QStringLiteral("DOS"), QStringLiteral("PDF"), QStringLiteral("DX"),
        QStringLiteral("DY"), QStringLiteral("FS"), QStringLiteral("Rus"), QStringLiteral("Lat"),
        QStringLiteral("AaBbYyZz")};
    QStringList out;
    if (window->objectName() == QLatin1String("FormBrows") || window->objectName() == QLatin1String("FormOtl"))
        return out;
    const auto check = [&](const QWidget* w, const QString& text) {
        for (auto it = word.globalMatch(Shown(text).remove(fileName)); it.hasNext();) {
            const QString found = it.next().captured();
            if (own.contains(found))
                continue;
            out << QStringLiteral("%1 \"%2\": %3")
                       .arg(w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                      : w->objectName(),
                           text.left(60), found);
        }
    };
    check(window, window->windowTitle());
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window))
            continue;
        if (auto* label = qobject_cast<QLabel*>(w))
            check(w, label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            check(w, button->text());
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            check(w, group->title());
        else if (auto* tabs = qobject_cast<QTabBar*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                check(w, tabs->tabText(i));
        else if (auto* header = qobject_cast<QHeaderView*>(w); header && header->model())
            for (int i = 0; i < header->count(); ++i)
                check(header->parentWidget(),
                    header->model()->headerData(i, header->orientation(), Qt::DisplayRole).toString());
    }
    return out;
}

// Looks at windows and remembers what does not fit.
class Inspector {
public:
    void Inspect(QWidget* window, const QString& name)
    {
        QApplication::processEvents();
        seen << name;
        if (!wideOnly)
            CheckPages(window, name, QString());
        // A 1366x768 screen: the main window fills it, larger windows are held
        // to it, and a window that the 800x600 test screen held gets its own
        // least size back.
        const QSize before = window->size();
        const QSize heldLeast = window->minimumSize();
        const bool main = qobject_cast<QMainWindow*>(window) != nullptr;
        QSize size = before;
        if (wideOnly && !main && window->layout()) {
            window->setMinimumSize(0, 0);
            for (QLayout* layout : window->findChildren<QLayout*>())
                layout->invalidate();
            window->layout()->activate();
            size = size.expandedTo(window->minimumSizeHint());
        }
        size = size.boundedTo(QSize(1366, 768 - 30));
        if (main || size != before || wideOnly) {
            if (main)
                window->showNormal();
            window->resize(main ? QSize(1366, 768 - 30) : size);
            QApplication::processEvents();
            CheckPages(window, name, QStringLiteral("_1366"));
            window->setMinimumSize(heldLeast);
            window->resize(before);
        }
    }

    QStringList problems;
    QStringList seen;
    QString shots = QStringLiteral("texts_"); // the screenshots' names begin so
    // Only on a 1366x768 screen: large fonts cannot all fit the test's 800x600 one.
    bool wideOnly = false;

private:
    void Check(QWidget* window, const QString& name)
    {
        QApplication::processEvents();
        const QString place = QStringLiteral("%1 (%2x%3)").arg(name).arg(window->width()).arg(window->height());
        for (const QString& p : CutTexts(window) + ForeignDates(window) + ForeignWords(window))
            if (!problems.contains(place + QStringLiteral(": ") + p))
                problems << place + QStringLiteral(": ") + p;
    }
    // The window, then each page of its tab widgets and page stacks, the
    // pages inside pages too, one at a time.
    void CheckPages(QWidget* window, const QString& name, const QString& suffix)
    {
        Check(window, name);
        SaveScreenshot(window, shots + name + suffix);
        Pages(window, name, suffix, window);
    }
    static QList<QWidget*> Containers(QWidget* scope)
    {
        // The outermost tab widgets and page stacks inside the scope.
        QList<QWidget*> out;
        for (QWidget* w : scope->findChildren<QWidget*>()) {
            if (!qobject_cast<QTabWidget*>(w)
                && !(qobject_cast<QStackedWidget*>(w) && !qobject_cast<QTabWidget*>(w->parentWidget())))
                continue;
            bool outer = true;
            for (QWidget* p = w->parentWidget(); p && p != scope && outer; p = p->parentWidget())
                outer = !qobject_cast<QTabWidget*>(p) && !qobject_cast<QStackedWidget*>(p);
            if (outer)
                out << w;
        }
        return out;
    }
    void Pages(QWidget* window, const QString& name, const QString& suffix, QWidget* scope)
    {
        int n = 0;
        for (QWidget* c : Containers(scope)) {
            auto* tabs = qobject_cast<QTabWidget*>(c);
            auto* stack = qobject_cast<QStackedWidget*>(c);
            const auto count = [&] { return tabs ? tabs->count() : stack->count(); };
            const auto index = [&] { return tabs ? tabs->currentIndex() : stack->currentIndex(); };
            const auto go = [&](int i) { tabs ? tabs->setCurrentIndex(i) : stack->setCurrentIndex(i); };
            const auto page = [&](int i) { return tabs ? tabs->widget(i) : stack->widget(i); };
            const QString cname = c->objectName().isEmpty() ? QStringLiteral("pages%1").arg(++n) : c->objectName();
            const int current = index();
            for (int i = 0; i < count(); ++i) {
                if (i == current) {
                    Pages(window, name, suffix, page(i));
                    continue;
                }
                if ((tabs && !tabs->isTabVisible(i)) || !c->isEnabled())
                    continue;
                go(i);
                if (index() != i)
                    continue; // the window kept its page
                const QString shot = QStringLiteral("%1_%2_%3").arg(suffix, cname).arg(i);
                Check(window, name);
                SaveScreenshot(window, shots + name + shot);
                Pages(window, name, shot, page(i));
            }
            go(current);
        }
    }
};

// The windows the program shows on its own.
std::set<QWidget*> ShownWindows()
{
    std::set<QWidget*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->inherits("QMenu") && !w->inherits("QComboBoxPrivateContainer"))
            out.insert(w);
    return out;
}

// The main font's size in points (0: the default program fonts).
class WindowTextsTest : public ShippedProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(WindowTextsTest, NoTextOfAnyWindowIsCutAndEveryDateReadsDayMonthYear)
{
    Inspector look;
    ResetProgramFonts(); // an earlier program run in this process may have changed them
    if (GetParam() > 0) {
        TIniFile ini(GetIniFileName());
        ini.WriteInteger(QStringLiteral("MainFont"), QStringLiteral("Size"), GetParam());
        ini.UpdateFile();
        look.shots = QStringLiteral("texts%1_").arg(GetParam());
        look.wideOnly = true;
    }
    FirstStart([&] {
        auto* main = dynamic_cast<TFormMain*>(MainForm());
        ASSERT_NE(main, nullptr);
        const qint32 tabn = BuildDumpEnterprise();
        ReloadAllLists();
        // The real windows answer the messages; each is looked at and closed with Esc.
        ScopedMessageService windows(&MessageWindows());
        int modalDepth = 0;
        ScopedModalHandler modal([&](QDialog& dialog) {
            ++modalDepth;
            const QString name = dialog.objectName();
            if (modalDepth < 3)
                look.Inspect(&dialog, name);
            dialog.done(0);
            --modalDepth;
        });

        // The main window with each of its pages, the embedded card among them.
        main->LocateTabn(tabn);
        look.Inspect(main, QStringLiteral("FormMain"));

        // Every item of the menu that opens a window.
        for (const char* item : {"mnSave", "mnImport", "mnFontMain", "mnDopl", "mnPodr", "mnStaff", "mnPost", "mnCtgr",
                 "mnPx", "mnClndr", "mnPremii", "mnPerehod", "mnVedRL", "mnVedRV", "mnVedPV", "mnVedSpr", "mnVedSvod",
                 "mnConfig", "mnFormsList", "mnAbout", "mnNewTabn", "acTabnCard", "acDoplEdit"}) {
            const std::set<QWidget*> before = ShownWindows();
            main->Trigger(QString::fromLatin1(item));
            for (QWidget* w : ShownWindows())
                if (!before.count(w) && w != main) {
                    if (auto* book = qobject_cast<TFormSprDop*>(w))
                        book->SelectDopNum(400); // so that its card page shows a kind
                    look.Inspect(w, w->objectName().isEmpty() ? QString::fromLatin1(item) : w->objectName());
                    w->close();
                }
        }

        // Windows opened from inside others, each as its opener makes it.
        const qint32 scale = 400;
        TDocument doc;
        doc.NameSaveFile = TxtDir + QStringLiteral("RL1.dcf");
        const std::vector<std::pair<QString, std::function<QWidget*()>>> inner = {
            {QStringLiteral("FormRTEdit"), [] { return new TFormRTEdit(scale); }},
            {QStringLiteral("FormEditFml"), [] { return new TFormEditFml(); }},
            {QStringLiteral("FormNewDopl"), [] { return new TFormNewDopl(); }},
            {QStringLiteral("FormDoplEdit"),
                [] {
                    auto* f = new TFormDoplEdit();
                    f->SetDopNum(scale);
                    return f;
                }},
            {QStringLiteral("FormTbSelect"), [] { return new TFormTbSelect(); }},
            {QStringLiteral("FormDpSelect"), [] { return new TFormDpSelect(); }},
            {QStringLiteral("FormSrSelect"), [] { return new TFormSrSelect(); }},
            {QStringLiteral("FormInVvod"), [] { return new TFormInVvod(); }},
            {QStringLiteral("FormInSrDop"), [] { return new TFormInSrDop(); }},
            {QStringLiteral("FormFindDNum"), [] { return new TFormFindDNum(); }},
            {QStringLiteral("FormResultR"), [] { return new TFormResultR(); }},
            {QStringLiteral("FormOtl"), [] { return new TFormOtl(); }},
            {QStringLiteral("FormLabel"), [] { return new TFormLabel(); }},
            {QStringLiteral("FormBrows"), [] { return new TFormBrows(); }},
            {QStringLiteral("FormFontDialog"), [] { return new TFormFontDialog(); }},
            {QStringLiteral("FormNewPodr"), [] { return new TFormNewPodr(); }},
            {QStringLiteral("FormNewCndrT"), [] { return new TFormNewCndrT(); }},
            {QStringLiteral("FormNewCndrP"), [] { return new TFormNewCndrP(QStringLiteral("Основной календарь")); }},
            {QStringLiteral("FormSprUser"), [] { return new TFormSprUser(); }},
            {QStringLiteral("FormView"), [] { return new TFormView(); }},
            {QStringLiteral("FormMonthCalendar"), [] { return new TFormMonthCalendar(); }},
            {QStringLiteral("FormVedTune"), [] { return new TFormVedTune(); }},
            {QStringLiteral("FormDocEdit"), [] { return new TFormDocEdit(); }},
            {QStringLiteral("VarForm"), [] { return new TVarForm(); }},
            {QStringLiteral("EditorForm"), [] { return new TEditorForm(); }},
            {QStringLiteral("GEditorForm"), [] { return new TGEditorForm(); }},
            {QStringLiteral("OptForm"), [] { return new TOptForm(); }},
            {QStringLiteral("FormPreview"), [&doc] { return new TPreviewForm(doc); }},
            {QStringLiteral("DesignForm"), [&doc] { return new TDesignForm(doc); }},
            {QStringLiteral("FormPerehod"), [] { return new TFormPerehod(); }},
            {QStringLiteral("FormImportData"), [] { return new TFormImportData(); }},
        };
        // Qt's own dialogs as the program opens them: the table browser's and
        // the designer's file dialogs, the print dialog of the preview.
        QPrinter printer;
        const std::vector<std::pair<QString, std::function<QWidget*()>>> qts = {
            {QStringLiteral("QFileDialog"),
                [this] {
                    auto* d = new QFileDialog(
                        nullptr, QStringLiteral("Открыть таблицу"), folder_.File(QStringLiteral("TXT")));
                    d->setOption(QFileDialog::DontUseNativeDialog);
                    return d;
                }},
            {QStringLiteral("QPrintDialog"), [&printer] { return new QPrintDialog(&printer); }},
            {QStringLiteral("QDialogButtonBox"),
                [] {
                    return new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes
                        | QDialogButtonBox::No | QDialogButtonBox::Close);
                }},
        };
        for (const auto* list : {&qts, &inner})
            for (const auto& [name, make] : *list) {
                std::unique_ptr<QWidget> w(make());
                w->show();
                look.Inspect(w.get(), name);
                w->hide();
            }
        // The print dialog as the preview opens it, with the file to print into.
        {
            TPreviewForm preview(doc);
            preview.show();
            QTest::mouseClick(preview.PrintBtn, Qt::LeftButton);
            preview.hide();
        }
        // An edit's context menu.
        QLineEdit edit;
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        for (const QAction* a : menu->actions()) {
            if (!a->isSeparator()) {
                EXPECT_TRUE(a->text().contains(QRegularExpression(QStringLiteral("[А-Яа-я]"))))
                    << "the context menu in Russian: " << a->text().toStdString();
            }
        }

        // The message boxes, the one-value input and the progress window.
        ShowError(QStringLiteral("Ошибка записи данных|Файл SR.DB в папке /home/clerk/qor/DB занят"));
        AppMessageBox(QStringLiteral("Данные сохранены\r\n/home/clerk/qor/ARH"), QStringLiteral("Сохранение данных"));
        AppMessageBox(QStringLiteral("Данные восстановлены из резервной копии\r\nРабочая дата: 01.01.2025"),
            QStringLiteral("Восстановление резервной копии"));
        AskYesNo(QStringLiteral("Разнести измененные постоянные начисления во ввод ?"), QString(), true);
        QString text = QStringLiteral("Наименование");
        InputString(QStringLiteral("Наименование нового типа таблицы подоходного налога"), text);
        TFormBar bar;
        bar.Init(0, 0, 100, 0, 0);
        bar.Mess(0, QStringLiteral("Подключение к базе данных"));
        bar.Mess(1, QStringLiteral("Ожидание подключения к базе данных"));
        look.Inspect(&bar, QStringLiteral("FormBar"));
        // Closing waits a moment on the clock, which stands still here.
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [this] { clock_.clock.Advance(100); });
        tick.start(5);
        bar.Close();
    });
    EXPECT_GE(look.seen.size(), 50) << look.seen.join(QStringLiteral(", ")).toStdString();
    EXPECT_TRUE(look.problems.isEmpty()) << look.problems.join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(MainFont, WindowTextsTest, ::testing::Values(0, 16));

} // namespace
