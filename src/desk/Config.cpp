#include "desk/Config.h"

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/ui/SrSelect.h"
#include "desk/Main.h"
#include "foundation/Messages.h"
#include "foundation/ui/dialogs/Clndr.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/FieldValues.h"
#include "foundation/ui/edits/NumEdit.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QCheckBox* Check(QWidget* parent, QLayout* layout, const QString& name, const QString& caption)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    layout->addWidget(c);
    return c;
}

QLineEdit* Edit(QWidget* parent, const QString& name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

// The number edits check their text as the clerk leaves them and keep him
// there with the message when it is no number.
Tyq_IntegerEdit* IntEdit(QWidget* parent, const QString& name)
{
    auto* e = new Tyq_IntegerEdit(parent);
    e->setObjectName(name);
    return e;
}

QButtonGroup* Variants(QWidget* parent, QLayout* layout, const QString& name, const QString& caption)
{
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    auto* h = new QHBoxLayout(box);
    auto* group = new QButtonGroup(box);
    group->setObjectName(name);
    const QStringList items{QStringLiteral("Все"), QStringLiteral("1-й"), QStringLiteral("2-й"), QStringLiteral("3-й"),
        QStringLiteral("4-й")};
    for (int i = 0; i < items.size(); ++i) {
        auto* r = new QRadioButton(items[i], box);
        r->setObjectName(name + QString::number(i));
        group->addButton(r, i);
        h->addWidget(r);
    }
    layout->addWidget(box);
    return group;
}

QString QuotedDate(TDateTime d) { return QStringLiteral("\"") + DateToStr(d) + QStringLiteral("\""); }

} // namespace

TFormConfig::TFormConfig(QWidget* parent) : TForm(parent, QStringLiteral("FormConfig"))
{
    setWindowTitle(QStringLiteral("Переменные конфигурации"));
    auto* v = new QVBoxLayout(this);
    pcConfig = new QTabWidget(this);
    pcConfig->setObjectName(QStringLiteral("pcConfig"));
    v->addWidget(pcConfig);

    auto* page1 = new QWidget(pcConfig);
    auto* p1 = new QVBoxLayout(page1);
    auto* dates = new QFormLayout;
    auto dateRow = [&](Tyq_DateEdit*& edit, const QString& name, const QString& caption, int index) {
        edit = MakeDateEdit(page1, name.toLatin1().constData());
        // The button beside it picks a month, the field's own calendar would pick a day.
        edit->setCalendarPopup(false);
        edit->setButtonSymbols(QAbstractSpinBox::NoButtons);
        auto* row = new QHBoxLayout;
        row->addWidget(edit);
        auto* bt = new QToolButton(page1);
        bt->setObjectName(name + QStringLiteral("Button"));
        bt->setText(QStringLiteral("..."));
        row->addWidget(bt);
        connect(bt, &QToolButton::clicked, this, guarded([this, index] {
            TDateTime d = DateEdit(index)->Value();
            if (d < 1)
                d = Cfg.Workdate;
            ApplyPickedDate(index, SelectMonth(d));
        }));
        dates->addRow(caption, row);
    };
    dateRow(edBegDate, QStringLiteral("edBegDate"), QStringLiteral("Начальная"), 0);
    dateRow(edWorkDate, QStringLiteral("edWorkDate"), QStringLiteral("Рабочая"), 1);
    dateRow(edBegPeriod, QStringLiteral("edBegPeriod"), QStringLiteral("Период: Начало"), 2);
    dateRow(edEndPeriod, QStringLiteral("edEndPeriod"), QStringLiteral("Конец"), 3);
    p1->addLayout(dates);
    cbCalcCompare = Check(page1, p1, QStringLiteral("cbCalcCompare"), QStringLiteral("При расчете только сравнивать"));
    cbAutoCalc = Check(page1, p1, QStringLiteral("cbAutoCalc"), QStringLiteral("Автоматический расчет повременно"));
    cbPNInt = Check(page1, p1, QStringLiteral("cbPNInt"), QStringLiteral("Отбрасывать копейки при расчете ПН"));
    cbTabNomer = Check(page1, p1, QStringLiteral("cbTabNomer"), QStringLiteral("Табельные номера предприятия"));
    cbDopNomer = Check(page1, p1, QStringLiteral("cbDopNomer"), QStringLiteral("Номера начисления предприятия"));
    cbRound = Check(page1, p1, QStringLiteral("cbRound"), QStringLiteral("Округлять при выдаче по ведомостях"));
    cbRoundB = Check(page1, p1, QStringLiteral("cbRoundB"), QStringLiteral("Округлять в большую сторону"));
    auto* nums = new QFormLayout;
    edRoundS = new Tyq_FloatEdit(page1);
    edRoundS->setObjectName(QStringLiteral("edRoundS"));
    edNumYears = IntEdit(page1, QStringLiteral("edNumYears"));
    edMinUderNum = IntEdit(page1, QStringLiteral("edMinUderNum"));
    nums->addRow(QStringLiteral("Округлять до суммы"), edRoundS);
    nums->addRow(QStringLiteral("Лет хранения данных"), edNumYears);
    nums->addRow(QStringLiteral("Базовый номер удержаний"), edMinUderNum);
    p1->addLayout(nums);
    pcConfig->addTab(page1, QStringLiteral("Переменные данные"));

    auto* page2 = new QWidget(pcConfig);
    auto* p2 = new QVBoxLayout(page2);
    auto person = [&](Tyq_IntegerEdit*& tabn, QLineEdit*& naim, QLineEdit*& fio, const QString& names,
                      const QString& caption, const QString& prompt) {
        p2->addWidget(new QLabel(caption, page2));
        auto* row = new QHBoxLayout;
        tabn = IntEdit(page2, QStringLiteral("edTabn") + names);
        naim = Edit(page2, QStringLiteral("edNaim") + names);
        fio = Edit(page2, names == QLatin1String("Director") ? QStringLiteral("edFioDir") : QStringLiteral("edFioGlb"));
        fio->setReadOnly(true);
        auto* bt = new QToolButton(page2);
        bt->setObjectName(QStringLiteral("bt") + names);
        bt->setText(QStringLiteral("..."));
        tabn->setMaximumWidth(80);
        row->addWidget(tabn);
        row->addWidget(bt);
        row->addWidget(naim, 1);
        p2->addLayout(row);
        p2->addWidget(fio); // a line of its own: a full name is long
        Tyq_IntegerEdit* t = tabn;
        QLineEdit* f = fio;
        connect(bt, &QToolButton::clicked, this, guarded([this, t, f, prompt] { PickTabn(t, f, prompt); }));
    };
    person(edTabnDirector, edNaimDirector, edFioDir, QStringLiteral("Director"),
        QStringLiteral("Табельный номер и наименование должности начальника"),
        QStringLiteral("Выберите начальника ПРЕДПРИЯТИЯ\r\n"));
    person(edTabnGlBuh, edNaimGlBuh, edFioGlb, QStringLiteral("GlBuh"),
        QStringLiteral("Табельный номер и наименование должности гл. бухгалтера"),
        QStringLiteral("Выберите главного бухгалтера ПРЕДПРИЯТИЯ\r\n"));
    p2->addWidget(new QLabel(QStringLiteral("Номер отображаемого варианта наименования"), page2));
    rgFio = Variants(page2, p2, QStringLiteral("rgFio"), QStringLiteral(" Фамилия "));
    rgPodr = Variants(page2, p2, QStringLiteral("rgPodr"), QStringLiteral(" Подразделение "));
    rgDop = Variants(page2, p2, QStringLiteral("rgDop"), QStringLiteral(" Начисления "));
    p2->addStretch();
    pcConfig->addTab(page2, QStringLiteral("Прочее"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btOk = new QPushButton(QStringLiteral("OK"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    v->addLayout(buttons);
    connect(btOk, &QPushButton::clicked, this, guarded([this] {
        if (Apply())
            SetModalResult(mrOk);
    }));
    connect(btCancel, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
}

Tyq_DateEdit* TFormConfig::DateEdit(int edit) const
{
    switch (edit) {
    case 0: return edBegDate;
    case 1: return edWorkDate;
    case 2: return edBegPeriod;
    default: return edEndPeriod;
    }
}

void TFormConfig::LoadControls()
{
    LoadDataConfiguration();
    edBegDate->SetValue(Cfg.BegDate);
    edWorkDate->SetValue(Cfg.Workdate);
    edBegPeriod->SetValue(Cfg.BegPeriod);
    edEndPeriod->SetValue(Cfg.EndPeriod);
    cbCalcCompare->setChecked(Cfg.CalcCompare);
    cbAutoCalc->setChecked(Cfg.AutoCalc);
    cbPNInt->setChecked(Cfg.PNInt);
    cbTabNomer->setChecked(Cfg.TabNomer);
    cbDopNomer->setChecked(Cfg.DopNomer);
    cbRound->setChecked(Cfg.Round);
    cbRoundB->setChecked(Cfg.RoundB);
    edRoundS->SetValue(Cfg.RoundS);
    edNumYears->SetValue(Cfg.NumYears);
    edMinUderNum->SetValue(Cfg.MinUderNum);
    edTabnDirector->SetValue(Cfg.TabnDirector);
    edNaimDirector->setText(Cfg.NaimDirector);
    edTabnGlBuh->SetValue(Cfg.TabnGlBuh);
    edNaimGlBuh->setText(Cfg.NaimGlBuh);
    ShowFio(edTabnDirector, edFioDir);
    ShowFio(edTabnGlBuh, edFioGlb);
    if (auto* b = rgFio->button(Cfg.FioVid))
        b->setChecked(true);
    if (auto* b = rgPodr->button(Cfg.NamePodrVid))
        b->setChecked(true);
    if (auto* b = rgDop->button(Cfg.NameDopVid))
        b->setChecked(true);
    pcConfig->setCurrentIndex(0);
}

void TFormConfig::ApplyPickedDate(int edit, TDateTime d)
{
    const TDateTime beg = edBegDate->Value(), work = edWorkDate->Value();
    const TDateTime pBeg = edBegPeriod->Value(), pEnd = edEndPeriod->Value();
    switch (edit) {
    case 0:
        if (work >= d)
            edBegDate->SetValue(GetMonthBeg(d));
        else
            ShowError(QStringLiteral("Рабочая дата не может быть меньше начальной"));
        break;
    case 1:
        if (beg <= d)
            edWorkDate->SetValue(GetMonthEnd(d));
        else
            ShowError(QStringLiteral("Рабочая дата не может быть меньше начальной"));
        break;
    case 2:
        edBegPeriod->SetValue(GetMonthBeg(d));
        if (pEnd < d)
            edEndPeriod->SetValue(GetMonthEnd(d));
        break;
    default:
        edEndPeriod->SetValue(GetMonthEnd(d));
        if (pBeg > d)
            edBegPeriod->SetValue(GetMonthBeg(d));
        break;
    }
}

void TFormConfig::ShowFio(Tyq_IntegerEdit* number, QLineEdit* fio)
{
    const int tabn = number->Value();
    QString name;
    if (tabn > 0 && !GetFioByTabn(tabn, name))
        name = Format(QStringLiteral("Табельный номер №%s в справочнике не найден"), tabn);
    fio->setText(name);
    fio->setCursorPosition(0); // the name's beginning, not its end
}

void TFormConfig::PickTabn(Tyq_IntegerEdit* number, QLineEdit* fio, const QString& prompt)
{
    const qint32 tabn = SelectTabn(0, number->Value(), prompt);
    if (tabn < 1)
        return;
    number->SetValue(tabn);
    ShowFio(number, fio);
}

bool TFormConfig::Apply()
{
    // A date refused here is the clerk's to mend: nothing is stored, the
    // dialog stays open on the field.
    TDateTime dates[4] = {};
    for (int i = 0; i < 4; ++i) {
        Tyq_DateEdit* edit = DateEdit(i);
        QString refusal;
        try {
            edit->CommitTyped();
            dates[i] = edit->Value();
            const QString field = QStringLiteral("Поле \"%1\": ").arg(EscapeBars(FieldCaption(edit)));
            if (MinWorkDate > 0 && dates[i] < MinWorkDate)
                refusal = field + QStringLiteral("дата не может быть меньше ") + QuotedDate(MinWorkDate);
            else if (MaxWorkDate > 0 && dates[i] > MaxWorkDate)
                refusal = field + QStringLiteral("дата не может быть больше ") + QuotedDate(MaxWorkDate);
        } catch (const EConvertError& e) {
            refusal = e.Message();
        }
        if (!refusal.isEmpty()) {
            pcConfig->setCurrentIndex(0);
            edit->setFocus();
            ShowError(refusal);
            return false;
        }
    }
    if (dates[1] < dates[0]) {
        ShowError(QStringLiteral("Рабочая дата не может быть меньше начальной"));
        edWorkDate->setFocus();
        return false;
    }
    if (dates[3] < dates[2]) {
        ShowError(QStringLiteral("Конец периода не может быть меньше начала"));
        edEndPeriod->setFocus();
        return false;
    }
    Cfg.BegDate = dates[0];
    Cfg.Workdate = dates[1];
    Cfg.BegPeriod = dates[2];
    Cfg.EndPeriod = dates[3];
    Cfg.CalcCompare = cbCalcCompare->isChecked();
    Cfg.AutoCalc = cbAutoCalc->isChecked();
    Cfg.PNInt = cbPNInt->isChecked();
    Cfg.TabNomer = cbTabNomer->isChecked();
    Cfg.DopNomer = cbDopNomer->isChecked();
    Cfg.Round = cbRound->isChecked();
    Cfg.RoundB = cbRoundB->isChecked();
    Cfg.RoundS = edRoundS->Value();
    Cfg.MinUderNum = edMinUderNum->Value();
    Cfg.FioVid = qMax(0, rgFio->checkedId());
    Cfg.NamePodrVid = qMax(0, rgPodr->checkedId());
    Cfg.NameDopVid = qMax(0, rgDop->checkedId());
    Cfg.TabnDirector = edTabnDirector->Value();
    Cfg.NaimDirector = edNaimDirector->text();
    Cfg.TabnGlBuh = edTabnGlBuh->Value();
    Cfg.NaimGlBuh = edNaimGlBuh->text();
    Cfg.NumYears = edNumYears->Value();
    Cfg.NumFullYears = Cfg.NumYears;
    if (TFormMain* main = FormMain())
        main->SettingsChanged();
    SaveDataConfiguration();
    return true;
}

bool ShowFormConfig()
{
    TFormConfig form;
    form.LoadControls();
    return form.ShowModal() == mrOk;
}
