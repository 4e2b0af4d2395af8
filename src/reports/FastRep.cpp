#include "reports/FastRep.h"

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "foundation/DateFuncs.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "platform/Exceptions.h"

#include <QFileInfo>
#include <QLocale>
#include <QPointer>

#include <cmath>

namespace {

QString S(const char* text) { return QString::fromUtf8(text); }

// The variable help lists: a title, then one line a variable, indented
// with a tab: the name, tabs, a bar and what it prints.
QStringList HelpList(const char* title, std::initializer_list<std::pair<const char*, const char*>> lines)
{
    QStringList out{S(title)};
    for (const auto& [name, text] : lines) {
        const QString n = S(name);
        out << QLatin1Char('\t') + n + (n.size() < 8 ? QStringLiteral("\t\t|") : QStringLiteral("\t|")) + S(text);
    }
    return out;
}

const QStringList& StCommon()
{
    static const QStringList l = HelpList("Общие данные",
        {{"Month", "Месяц расчетного периода"}, {"Year", "Год расчетного периода"}, {"Num", "Номер документа"},
            {"Name", "Краткое название программы"}, {"NameApp", "Полное название программы"},
            {"NaimGlBuh", "Должность главного бухгалтера"}, {"NaimDirector", "Должность руководителя"},
            {"FioGlBuh", "Ф.И.О. главного бухгалтера"}, {"FioDirector", "Ф.И.О. руководителя"},
            {"Rub", "Название денежной единицы"}, {"Kop", "Название разменной единицы"},
            {"CurrencyDivider", "Разделитель рублей и копеек"}});
    return l;
}
const QStringList& StPodr()
{
    static const QStringList l = HelpList("Подразделение",
        {{"Podr", "Номер подразделения"}, {"PodrName", "Наименование подразделения"},
            {"PodrN.<k>", "Вариант k наименования подразделения"}});
    return l;
}
const QStringList& StTabNum()
{
    static const QStringList l = HelpList("Данные работника",
        {{"TabNum", "Табельный номер"}, {"Tabn", "Табельный номер, как он показывается"}, {"Fio", "Ф.И.О. работника"},
            {"Fio.<k>", "Вариант k Ф.И.О."}, {"DateBeg", "Дата начала работы"}, {"DateRecept", "Дата приема"},
            {"DateRelease", "Дата увольнения"}, {"DateRas", "Дата расчета"}, {"Comment", "Примечание к карточке"},
            {"Post", "Должность"}, {"Ctgr", "Категория"}, {"Ksop", "Система оплаты"}, {"Okl", "Оклад (тариф)"},
            {"Avan", "Аванс"}, {"Fs", "Источник финансирования"}, {"MinZarp", "Число минимальных зарплат"},
            {"Vychet", "Вычет"}, {"LgotaPN", "Льгота по подоходному налогу"}, {"Calendar", "Календарь"},
            {"SpnTabl", "Способ табелирования"}});
    return l;
}
const QStringList& StRLA()
{
    static const QStringList l = HelpList("Начисления и удержания",
        {{"NachDNum", "Номер начисления в строке"}, {"NachDName", "Наименование начисления"},
            {"NachDTime", "Время по начислению"}, {"NachDSum", "Сумма начисления"},
            {"NachUNum", "Номер удержания в строке"}, {"NachUName", "Наименование удержания"},
            {"NachUSum", "Сумма удержания"}});
    return l;
}
const QStringList& StRLItogo()
{
    static const QStringList l = HelpList("Итоги работника",
        {{"VsegoPrev", "Сальдо на начало месяца"}, {"VDTime", "Всего времени отработано"}, {"VNach", "Всего начислено"},
            {"VUder", "Всего удержано"}, {"Vsego", "К выплате"}});
    return l;
}
const QStringList& StRLB()
{
    static const QStringList l = HelpList("Строки листа",
        {{"NachNum", "Номер начисления (удержания)"}, {"NachName", "Наименование начисления (удержания)"},
            {"NachTime", "Время"}, {"NachSum", "Сумма"}, {"NSect", "Название раздела: доплаты или удержания"},
            {"NItog", "Название итога раздела"}, {"SItog", "Сумма итога раздела"}});
    return l;
}
const QStringList& StRV()
{
    static const QStringList l = HelpList("Графы ведомости",
        {{"N.<k>", "Название графы k"}, {"V.<k>", "Графа k: сумма работника"},
            {"S.<k>", "Графа k: итог по подразделению"}, {"P.<k>", "Графа k: итог по предприятию"},
            {"PD", "Доплаты вне граф: работник"}, {"SPD", "Доплаты вне граф: подразделение"},
            {"PSPD", "Доплаты вне граф: предприятие"}, {"PU", "Удержания вне граф: работник"},
            {"SPU", "Удержания вне граф: подразделение"}, {"PSPU", "Удержания вне граф: предприятие"}});
    return l;
}
const QStringList& StRasItog()
{
    static const QStringList l = HelpList("Итоги ведомости",
        {{"VsP", "Сальдо на начало: работник"}, {"VDTime", "Всего времени отработано"},
            {"VNach", "Начислено: работник"}, {"VUder", "Удержано: работник"}, {"Vsego", "К выплате: работник"},
            {"SVsP", "Сальдо на начало: подразделение"}, {"SVsPP", "Сальдо подразделения: долг предприятия"},
            {"SVsPM", "Сальдо подразделения: долг работников"}, {"SVNach", "Начислено: подразделение"},
            {"SVUder", "Удержано: подразделение"}, {"SVsego", "К выплате: подразделение"},
            {"SVsegoP", "К выплате по подразделению: к выдаче"},
            {"SVsegoM", "К выплате по подразделению: долг работников"},
            {"Propis(SVsego)", "К выплате по подразделению прописью"}, {"PSVsP", "Сальдо на начало: предприятие"},
            {"PSVsPP", "Сальдо предприятия: долг предприятия"}, {"PSVsPM", "Сальдо предприятия: долг работников"},
            {"PSVNach", "Начислено: предприятие"}, {"PSVUder", "Удержано: предприятие"},
            {"PSVsego", "К выплате: предприятие"}, {"PSVsegoP", "К выплате по предприятию: к выдаче"},
            {"PSVsegoM", "К выплате по предприятию: долг работников"},
            {"Propis(PSVsego)", "К выплате по предприятию прописью"}});
    return l;
}
const QStringList& StPV()
{
    static const QStringList l = HelpList("Платежная ведомость",
        {{"V.1", "Сумма к выдаче работнику"}, {"S.1", "Итог к выдаче по ведомости"},
            {"VDTime", "Всего времени отработано"}, {"Vsego", "К выплате работнику"},
            {"SVsego", "К выплате по подразделению"}});
    return l;
}
const QStringList& StReport()
{
    static const QStringList l = HelpList("Стандартные данные отчета",
        {{"ReportTitle", "Заголовок документа"}, {"NameDocument", "Название документа"},
            {"NameSaveFile", "Файл шаблона"}, {"LineMaster", "Номер строки главных данных"},
            {"LineDetail", "Номер строки подчиненных данных"}, {"LineSubDetail", "Номер строки вложенных данных"},
            {"LineDetailTotal", "Сквозной номер строки подчиненных данных"},
            {"LineSubDetailTotal", "Сквозной номер строки вложенных данных"}, {"PageNumber", "Номер листа"}});
    return l;
}

QStringList Join(std::initializer_list<const QStringList*> parts)
{
    QStringList out;
    for (const QStringList* p : parts)
        out << *p;
    return out;
}

// Restores the working state on every way out of a forming.
template <typename F> class Finally {
public:
    explicit Finally(F f) : f_(std::move(f)) {}
    ~Finally() { f_(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    F f_;
};

// The numbers of the card fields GetFieldText knows: answered "" when empty.
const QStringList& CardFieldNames()
{
    static const QStringList names = QStringLiteral("TABNUM TABN FIO PODR DATEBEG DATERECEPT DATERELEASE DATERAS "
                                                    "COMMENT POST CTGR KSOP OKL AVAN FS MINZARP VYCHET LGOTAPN "
                                                    "CALENDAR SPNTABL")
                                         .split(QLatin1Char(' '));
    return names;
}
const QStringList& ReportVariableNames()
{
    static const QStringList names
        = QStringLiteral("NAME NAMEAPP NAIMGLBUH NAIMDIRECTOR FIOGLBUH FIODIRECTOR RUB KOP CURRENCYDIVIDER")
              .split(QLatin1Char(' '));
    return names;
}

// "<prefix>.<k>": k as text, false when the name is not of that form.
bool Indexed(const QString& name, QLatin1StringView prefix, QString& k)
{
    if (name.size() <= prefix.size() || !name.startsWith(prefix) || name.at(prefix.size()) != QLatin1Char('.'))
        return false;
    k = name.mid(prefix.size() + 1);
    return true;
}

// The variable names compared are Latin: no text is made for a comparison.
using L = QLatin1StringView;

QString Time(double t) { return FormatShortFloat(t); }

bool PaySheetStored(qint32 number)
{
    Cursor bin(QStringLiteral("Bin"));
    bin.SetIndexName(BinIndexName());
    bin.Open();
    return bin.FindKey({Variant(int(binPaySheets)), Variant(number)});
}

} // namespace

const QString TFormFastRep::kCaption = S("Форма хранения алгоритмов формирования документов");

TFormFastRep::TFormFastRep(QObject* parent) : QObject(parent)
{
    MakePrototypes();
    MakeAlgorithms();
}

TFormFastRep::~TFormFastRep() = default;

TDocument* TFormFastRep::AddPrototype(const QString& name, const QString& saveFile, const QString& title,
    const QString& nameDocument, const TDocumentEvents& events, const QStringList& variables)
{
    auto doc = std::make_unique<TDocument>();
    doc->NameSaveFile = saveFile;
    doc->Title = title;
    doc->SetNameDocument(nameDocument);
    doc->Charset = 204;
    doc->Version = 0;
    doc->Events = events;
    doc->Events.OnEndDoc = [this](TDocument& d) { EndDoc(d); };
    doc->Variables = variables;
    prototypes_.push_back({name, std::move(doc)});
    return prototypes_.back().Doc.get();
}

void TFormFastRep::MakePrototypes()
{
    using namespace std::placeholders;
    auto events = [this](auto beginDoc, auto beginPage, auto needData, auto getValue) {
        TDocumentEvents e;
        e.OnBeginDoc = std::bind(beginDoc, this, _1);
        e.OnBeginPage
            = [this, beginPage](TDocument& d, int, QStringList&, QStringList&, QStringList&) { (this->*beginPage)(d); };
        e.OnNeedData = std::bind(needData, this, _1, _2, _3);
        e.OnGetValue = std::bind(getValue, this, _1, _2, _3, _4);
        return e;
    };
    using F = TFormFastRep;
    const QStringList head = Join({&StCommon(), &StPodr(), &StTabNum()});
    AddPrototype(S("RLA"), S("RLA"), S("Расчетные листы (широкие)"), S("Расчетные листы"),
        events(&F::RLBeginDoc, &F::RLBeginPage, &F::RLANeedData, &F::RLGetValue),
        Join({&head, &StRLA(), &StRLItogo(), &StReport()}));
    AddPrototype(S("RLB"), S("RLB"), S("Расчетные листы (узкие)"), S("Расчетные листы"),
        events(&F::RLBeginDoc, &F::RLBeginPage, &F::RLBNeedData, &F::RLGetValue),
        Join({&head, &StRLB(), &StRLItogo(), &StReport()}));
    const QStringList rv = Join({&head, &StRV(), &StRasItog(), &StReport()});
    AddPrototype(S("RasVed"), S("RV"), S("Расчетная ведомость"), S("Расчетная ведомость"),
        events(&F::RVBeginDoc, &F::RVBeginPage, &F::RVNeedData, &F::RVGetValue), rv);
    AddPrototype(S("PlVed"), S("PV"), S("Платежная ведомость"), S("Платежная ведомость"),
        events(&F::RVBeginDoc, &F::RVBeginPage, &F::PVNeedData, &F::RVGetValue), Join({&head, &StPV(), &StReport()}));
    AddPrototype(S("Sprav"), S("SV"), S("Справки по подразделению"), S("Справки"),
        events(&F::RVBeginDoc, &F::RVBeginPage, &F::RVNeedData, &F::RVGetValue), rv);
    AddPrototype(S("SpravPredp"), S("SP"), S("Справки по предприятию"), S("Справки"),
        events(&F::SPBeginDoc, &F::SPBeginPage, &F::SPNeedData, &F::RVGetValue), rv);
    AddPrototype(S("SvodNach"), S("SN"), S("Свод по начислениям"), S("Свод по начислениям"),
        events(&F::SvodNachBeginDoc, &F::SvodNachBeginPage, &F::SvodNachNeedData, &F::SvodNachGetValue),
        Join({&StCommon(), &StRLA(), &StReport()}));
}

void TFormFastRep::MakeAlgorithms()
{
    auto add = [this](qint32 n, const char* name, const char* proto, bool usesRasVed, quint8 kind) {
        algorithms_.Add(new T_Algorythm(n, S(name), S(proto), usesRasVed, kind));
    };
    add(11, "Расчетные листы (2 колонки)", "RLA", false, 1);
    add(21, "Расчетные листы (1 колонка)", "RLB", false, 2);
    add(31, "Расчетная ведомость", "RasVed", true, 3);
    add(41, "Платежная ведомость на зарплату (по результатам расчета)", "PlVed", false, 4);
    add(42, "Платежная ведомость по входным данным", "PlVed", true, 4);
    add(51, "Справки по подразделению", "Sprav", true, 5);
    add(61, "Справки по предприятию", "SpravPredp", true, 6);
    add(71, "Свод по начислениям (предприятие)", "SvodNach", false, 7);
    add(72, "Свод по начислениям (подразделение)", "SvodNach", false, 7);
}

void TFormFastRep::FillAlgorithms(TStringItems& items) const
{
    items.clear();
    for (const T_Algorythm* a : algorithms_)
        items.append({a->Name, a->Number});
}

QList<T_Algorythm*> TFormFastRep::Algorithms() const
{
    QList<T_Algorythm*> out;
    for (T_Algorythm* a : algorithms_)
        out << a;
    return out;
}

T_Algorythm* TFormFastRep::FindAlgorithm(qint32 number) const { return algorithms_.Find(number); }

TDocument* TFormFastRep::Prototype(const QString& name) const
{
    for (const TPrototype& p : prototypes_)
        if (p.Name == name)
            return p.Doc.get();
    return nullptr;
}

// ---------------------------------------------------------------- the run

void TFormFastRep::RunDocument(T_Vedom* descriptor, const T_PVVars* params)
{
    if (busy_)
        ErrorAbort(S("Выполнение невозможно\r\nИдет формирование другого документа"));
    if (descriptor == nullptr)
        ErrorAbort(S("Не определен документ"));
    T_Algorythm* algorithm = FindAlgorithm(descriptor->Tip);
    if (algorithm == nullptr || Prototype(algorithm->Prototype) == nullptr)
        ErrorAbort(S("Не определен алгоритм формирования документа"));

    busy_ = true;
    BusyScope hourglass;
    Finally restore([this] {
        kind_ = 0;
        busy_ = false;
        ResetWorkingState();
    });
    vedom_ = descriptor;
    algorithm_ = algorithm;
    ved_.Clear();
    ved2_.Clear();
    ved_.Number = algorithm->UsesRasVed ? descriptor->RVNum : 0;
    ved_.RoundByMoney = ved2_.RoundByMoney = descriptor->VedRnd;
    params_ = params ? *params : T_PVVars();
    if (params_.Date == NoDate)
        params_.Date = Cfg.Workdate;
    const auto setPercent = [this] {
        const double p = params_.PercentOn ? params_.Percent : 0;
        ved_.SetPercent(p);
        ved2_.SetPercent(p);
    };
    setPercent();
    // Copies, never aliases: the run empties its own lists.
    employees_.clear();
    if (params_.TabnList)
        for (int i = 0; i < params_.TabnList->Count(); ++i)
            employees_ << params_.TabnList->GetInteger(i);
    dopList_.clear();
    if (params_.DopList)
        for (int i = 0; i < params_.DopList->Count(); ++i)
            dopList_ << params_.DopList->GetInteger(i);
    params_.TabnList = nullptr;
    params_.DopList = nullptr;
    variant_ = algorithm->Variant();
    kind_ = algorithm->Kind;
    posted_.clear();
    // The cards are read through cursors kept open for the whole forming.
    cursors_ = std::make_unique<TTabnCursors>();
    card_ = std::make_unique<T_dTabn>(DNList());
    card_->Cursors = cursors_.get();
    dnView_ = std::make_unique<T_DNSubList>(DNList(), 0);

    if (kind_ == 4) {
        if (!dopList_.isEmpty()) {
            T_RasVedItem* column = ved_.AddColumn();
            for (qint32 n : dopList_)
                column->AddInteger(n);
        } else if (algorithm->Number == 42) {
            // Its columns are the definition's; without one it has nothing to pay.
            if (descriptor->RVNum < 0)
                ErrorAbort(S("Не выбрана расчетная ведомость|Выберите ее на закладке \"Таблица выбора\" в "
                             "параметрах документа"));
            ved_.LoadByNumber(descriptor->RVNum);
        } else if (PaySheetStored(0)) {
            // Definition 0 comes with the predecessor's data; a new data
            // base has none and still pays by the amounts to pay.
            ved_.LoadByNumber(0);
        }
        ved2_.AssignColumns(ved_);
        setPercent();
    } else if (algorithm->UsesRasVed) {
        // Every algorithm that names a pay sheet gets it, not only the pay
        // sheet itself; -1 gives an empty one.
        ved_.LoadByNumber(descriptor->RVNum);
    }
    Form(*descriptor);
}

void TFormFastRep::ResetWorkingState()
{
    if (dnView_)
        dnView_->SetFilter(0);
    podrLines_.clear();
    employees_.clear();
    cardOf_.clear();
    dopList_.clear();
    ved_.Clear();
    ved2_.Clear();
    card_.reset();
    cursors_.reset();
    dnView_.reset();
    tabNum_ = 0;
    master_ = detail_ = podrCounter_ = -1;
    section_ = lineCount_ = rowCount_ = boundary_ = 0;
    vedom_ = nullptr;
    algorithm_ = nullptr;
}

void TFormFastRep::Form(T_Vedom& descriptor)
{
    if (forming_)
        ErrorAbort(S("Печать уже запущена"));
    const TDocument& proto = *Prototype(algorithm_->Prototype);
    const QString fileName = TxtDir + descriptor.TemplateFileName();
    if (!QFileInfo(fileName).isFile())
        ErrorAbort(S("Не найден файл-шаблон ведомости|") + fileName);

    forming_ = std::make_unique<TDocument>();
    TDocument* doc = forming_.get();
    // A failure frees the document; a preview still open keeps it.
    Finally release([this, doc] {
        inPreview_ = false;
        if (forming_.get() == doc && !doc->PreviewOpen())
            forming_.reset();
    });
    doc->Title = proto.Title;
    doc->DoubleOnSheet = proto.DoubleOnSheet;
    doc->Events = proto.Events;
    doc->Events.OnEndDesign = nullptr;
    doc->Charset = proto.Charset;

    ProgressSession progress(0, 100);
    progress->Mess(0, S("Загрузка формы..."));
    progress->Mess(1, doc->NameDocument());
    doc->LoadFromFile(fileName);
    doc->Events.OnEndPrintView = [this](TDocument& d) { FormingViewEnded(d); };
    progress->Mess(0, S("Формирование..."));
    inPreview_ = true;
    doc->Preview(false);
}

void TFormFastRep::FormingViewEnded(TDocument& sender)
{
    if (&sender != forming_.get())
        throw EAppException(S("Пока не многодокументный"));
    if (!inPreview_)
        Discard(forming_);
}

// A document is never freed inside its own event: it leaves the slot now
// and goes when the events of the moment are done.
void TFormFastRep::Discard(std::unique_ptr<TDocument>& slot)
{
    TDocument* doc = slot.release();
    QMetaObject::invokeMethod(
        this, [doc] { delete doc; }, Qt::QueuedConnection);
}

void TFormFastRep::DesignTemplate(const QString& templateFile)
{
    if (designer_)
        ErrorAbort(S("Конструктор уже запущен"));
    const QString file = DcfFileName(templateFile.mid(
        std::max(templateFile.lastIndexOf(QLatin1Char('\\')), templateFile.lastIndexOf(QLatin1Char('/'))) + 1));
    // No name would be saved as the hidden "TXT/.dcf".
    if (file.section(QLatin1Char('.'), 0, 0).trimmed().isEmpty())
        ErrorAbort(S("Неверно определен файл-шаблон"));
    designer_ = std::make_unique<TDocument>();
    TDocument* doc = designer_.get();
    Finally release([this, doc] {
        inDesign_ = false;
        if (designer_.get() == doc && !doc->DesignerOpen())
            designer_.reset();
    });
    doc->NameSaveFile = TxtDir + file;
    const QString base = file.left(file.indexOf(QLatin1Char('.')));
    for (const TPrototype& p : prototypes_) {
        if (base.startsWith(p.Doc->NameSaveFile, Qt::CaseInsensitive)) {
            doc->Title = p.Doc->Title;
            doc->DoubleOnSheet = p.Doc->DoubleOnSheet;
            doc->Variables = p.Doc->Variables;
            doc->Charset = p.Doc->Charset;
            break;
        }
    }
    if (QFileInfo(doc->NameSaveFile).isFile())
        doc->LoadFromFile(doc->NameSaveFile);
    doc->Events.OnEndDesign = [this](TDocument& d) { DesignEnded(d); };
    inDesign_ = true;
    doc->Design(false);
}

void TFormFastRep::DesignEnded(TDocument& sender)
{
    if (&sender == designer_.get() && !inDesign_)
        Discard(designer_);
}

// ---------------------------------------------------------------- shared steps

void TFormFastRep::FillDepartmentEmployees(qint32 podr)
{
    employees_.clear();
    cardOf_.clear();
    T_TNList cards(PNList());
    cards.SetSortMode(2);
    cards.SetFilter(tfWorking);
    cards.SetPodr(podr);
    for (int i = 0; i < cards.Count(); ++i)
        employees_ << cards.GetTabn(i)->TabNum();
    for (int i = cards.Count() - 1; i >= 0; --i) {
        std::unique_ptr<T_Tabn> card(cards.ExtractItem(i));
        const qint32 tabNum = card->TabNum();
        cardOf_[tabNum] = std::move(card);
    }
}

void TFormFastRep::EmployeeSet()
{
    if (employees_.isEmpty() && params_.Podr != 0)
        FillDepartmentEmployees(params_.Podr);
    if (employees_.isEmpty())
        ErrorAbort(S("Нет данных для отчета"));
}

bool TFormFastRep::IsDeduction(T_TabnDop* row) const
{
    T_Dop* dop = row->GetDop();
    return row->Uder || (dop != nullptr && dop->Uder);
}

T_TabnDopList& TFormFastRep::Results() { return card_->GetNcList(); }

void TFormFastRep::LoadEmployee(qint32 tabNum)
{
    card_->SetDate(params_.Date);
    card_->SetTabNum(tabNum);
    if (const auto known = cardOf_.find(tabNum); known != cardOf_.end()) {
        card_->AssignColumns(*known->second);
    } else {
        Cursor& sr = cursors_->Get(TTabnCursors::Sr);
        if (!sr.FindKey({Variant(tabNum)}))
            RaiseTabnNotFound(tabNum);
        card_->LoadFromTable(sr);
    }
    card_->SetDate(params_.Date);
    tabNum_ = tabNum;
    if (kind_ == 1 || kind_ == 2) {
        T_TabnDopList& rows = Results();
        rowCount_ = 0;
        while (rowCount_ < rows.Count() && !IsReservedDopNum(rows.GetTabnDop(rowCount_)->DopNum))
            ++rowCount_;
        boundary_ = rows.Count();
        for (int i = 0; i < rowCount_; ++i)
            if (IsDeduction(rows.GetTabnDop(i))) {
                boundary_ = i;
                break;
            }
        lineCount_ = rowCount_;
        if (kind_ == 1 && boundary_ < rows.Count())
            lineCount_ = std::max(boundary_, rowCount_ - boundary_);
    }
    detail_ = -1;
}

double TFormFastRep::ReservedSum(qint32 dopNum)
{
    const double sum = Results().GetSum(dopNum).ToDouble();
    return kind_ == 4 ? RoundMoney(sum) : RoundToKop(sum);
}

double TFormFastRep::AmountToPay() { return RoundToKop(Results().GetSum(dnVsego).ToDouble()); }

bool TFormFastRep::PassesCondition()
{
    const double v = variant_ == 1 ? AmountToPay() : 0;
    constexpr double eps = 1e-7;
    switch (vedom_ ? int(vedom_->Cond) : int(vcAll)) {
    case vcNonZero: return std::abs(v) > eps;
    case vcPositive: return v > eps;
    case vcNegative: return v < -eps;
    case vcZero: return std::abs(v) <= eps;
    default: return true;
    }
}

QString TFormFastRep::TitleOf(const QString& nameDocument, bool byEmployee)
{
    QString number, name;
    if (byEmployee) {
        card_->GetFieldText(S("TABN"), number);
        name = card_->GetFio();
    } else {
        if (!PodrValue(S("PODR"), number))
            number = S("???");
        if (!PodrValue(S("PODRNAME"), name))
            name = S("???");
    }
    return nameDocument + S("  №") + number + S(" \"") + name + S("\"");
}

// ---------------------------------------------------------------- variable values

T_TabnDop* TFormFastRep::RowAt(int i)
{
    if (!card_ || tabNum_ == 0 || i < 0 || i >= rowCount_)
        return nullptr;
    return Results().GetTabnDop(i);
}

T_TabnDop* TFormFastRep::SupplementAt(int i)
{
    if (i >= lineCount_)
        return nullptr;
    T_TabnDop* row = RowAt(i);
    return row && !IsDeduction(row) ? row : nullptr;
}

// Only among the ordinary rows: past them lie the running totals.
T_TabnDop* TFormFastRep::DeductionAt(int i)
{
    if (i < 0 || i >= lineCount_)
        return nullptr;
    T_TabnDop* row = RowAt(boundary_ + i);
    return row && IsDeduction(row) ? row : nullptr;
}

// NUM, NAME, N.<k>, SUM, TIME of a row after the prefix; "" without a row.
bool TFormFastRep::RowValue(QLatin1StringView prefix, const QString& name, T_TabnDop* row, QString& value)
{
    if (!name.startsWith(prefix))
        return false;
    const QString rest = name.mid(prefix.size());
    QString k;
    const bool indexed = Indexed(rest, L("N"), k);
    if (rest != L("NUM") && rest != L("NAME") && rest != L("SUM") && rest != L("TIME") && !indexed)
        return false;
    value.clear();
    if (row == nullptr)
        return true;
    T_Dop* dop = row->GetDop();
    if (rest == L("NUM"))
        value = QString::number(row->DopNum);
    else if (rest == L("NAME"))
        value = dop ? dop->GetName() : QString();
    else if (indexed) {
        bool ok = false;
        const int part = k.toInt(&ok);
        value = dop ? dop->GetNamePart(ok && part >= 0 ? part : Cfg.NameDopVid) : QString();
    } else if (rest == L("SUM"))
        value = FormatMoney(row->Sum.ToDouble());
    else
        value = Time(row->DTime);
    return true;
}

bool TFormFastRep::SectionValue(const QString& name, QString& value)
{
    if (RowValue(L("NACHD"), name, SupplementAt(detail_), value))
        return true;
    if (RowValue(L("NACHU"), name, DeductionAt(detail_), value))
        return true;
    if (name.startsWith(L("NACH")) && RowValue(L("NACH"), name, RowAt(detail_), value))
        return true;
    if (name == L("NSECT"))
        value = section_ == 2 ? S("Удержания") : S("Доплаты");
    else if (name == L("NITOG"))
        value = section_ == 2 ? S("Итого удержано") : S("Итого начислено");
    else if (name == L("SITOG"))
        value = FormatMoney(ReservedSum(section_ == 2 ? dnUder : dnNachis));
    else
        return false;
    return true;
}

bool TFormFastRep::EmployeeValue(const QString& name, QString& value)
{
    if (!card_ || tabNum_ == 0)
        return false;
    static const QList<std::pair<QString, qint32>> reserved{
        {S("VSEGOPREV"), dnBegin}, {S("VNACH"), dnNachis}, {S("VUDER"), dnUder}, {S("VSEGO"), dnVsego}};
    for (const auto& [n, dopNum] : reserved)
        if (name == n) {
            value = FormatMoney(ReservedSum(dopNum));
            return true;
        }
    if (name == L("VDTIME")) {
        // The time worked, as its help text says.
        const T_TabnDop* row = Results().FindTabnDop(dnNachis);
        value = Time(row ? row->DTime : 0);
        return true;
    }
    QString text;
    if (card_->GetFieldText(name, text) || CardFieldNames().contains(name) || name.startsWith(L("FIO."))) {
        value = text;
        return true;
    }
    return false;
}

bool TFormFastRep::PodrValue(const QString& name, QString& value)
{
    // The walked department, else the employee's, else the chosen one.
    qint32 num = params_.Podr;
    if (kind_ == 6 && podrCounter_ >= 0 && podrCounter_ < podrLines_.size())
        num = podrLines_[podrCounter_];
    else if (kind_ != 7 && card_ && tabNum_ != 0)
        num = card_->Podr;
    QString k;
    if (name == L("PODR")) {
        value = QString::number(num);
        return true;
    }
    const bool indexed = Indexed(name, L("PODRN"), k);
    if (name != L("PODRNAME") && !indexed)
        return false;
    T_Podr* podr = PNList()->FindPodr(num);
    if (podr == nullptr)
        value = S("Не найдено");
    else if (!indexed)
        value = podr->GetName();
    else {
        bool ok = false;
        const int part = k.toInt(&ok);
        value = podr->GetNamePart(ok && part >= 0 ? part : Cfg.NamePodrVid);
    }
    return true;
}

bool TFormFastRep::CommonValue(const QString& name, QString& value)
{
    int year = 0, month = 0, day = 0;
    DecodeDate(params_.Date, year, month, day);
    if (name == L("MONTH"))
        value = MonthNameByNum(month);
    else if (name == L("YEAR"))
        value = QString::number(year);
    else if (name == L("NUM"))
        value = params_.Num;
    else {
        Variant v;
        if (GetReportVariable(name, v))
            value = v.AsString();
        else if (ReportVariableNames().contains(name))
            value.clear();
        else
            return false;
    }
    return true;
}

bool TFormFastRep::PaySheetValue(const QString& name, QString& value)
{
    QString k;
    for (const char* p : {"N", "V", "S", "P"}) {
        if (!Indexed(name, L(p), k))
            continue;
        bool ok = false;
        const int n = k.toInt(&ok);
        if (!ok || n < 1 || n > ved_.ColumnCount())
            throw EAppException(S("Нет столбца №") + k);
        const T_RasVedItem& c = *ved_.Column(n - 1);
        value = *p == 'N' ? c.Name : FormatMoney(*p == 'V' ? c.V : *p == 'S' ? c.S : c.P);
        return true;
    }
    static const std::pair<const char*, double T_RasVed::*> sums[]{{"PD", &T_RasVed::PD}, {"SPD", &T_RasVed::SPD},
        {"PSPD", &T_RasVed::PSPD}, {"PU", &T_RasVed::PU}, {"SPU", &T_RasVed::SPU}, {"PSPU", &T_RasVed::PSPU},
        {"VSP", &T_RasVed::VSP}, {"SVSP", &T_RasVed::SVSP}, {"PSVSP", &T_RasVed::PSVSP}, {"SVSPP", &T_RasVed::SVSPP},
        {"SVSPM", &T_RasVed::SVSPM}, {"PSVSPP", &T_RasVed::PSVSPP}, {"PSVSPM", &T_RasVed::PSVSPM},
        {"VNACH", &T_RasVed::VNACH}, {"SVNACH", &T_RasVed::SVNACH}, {"PSVNACH", &T_RasVed::PSVNACH},
        {"VUDER", &T_RasVed::VUDER}, {"SVUDER", &T_RasVed::SVUDER}, {"PSVUDER", &T_RasVed::PSVUDER},
        {"VSEGO", &T_RasVed::VSEGO}, {"SVSEGO", &T_RasVed::SVSEGO}, {"PSVSEGO", &T_RasVed::PSVSEGO},
        {"SVSEGOP", &T_RasVed::SVSEGOP}, {"SVSEGOM", &T_RasVed::SVSEGOM}, {"PSVSEGOP", &T_RasVed::PSVSEGOP},
        {"PSVSEGOM", &T_RasVed::PSVSEGOM}};
    for (const auto& [n, field] : sums)
        if (name == L(n)) {
            value = FormatMoney(ved_.*field);
            return true;
        }
    if (name == L("PROPIS(SVSEGO)") || name == L("PROPIS(PSVSEGO)")) {
        const double v = name == L("PROPIS(SVSEGO)") ? ved_.SVSEGO : ved_.PSVSEGO;
        value = SpellMoney(Currency::FromDouble(std::round(v * 10000) / 10000));
        return true;
    }
    return PropisValue(name, value);
}

bool TFormFastRep::PropisValue(const QString& name, QString& value)
{
    const L head("PROPIS(");
    const int close = name.indexOf(QLatin1Char(')'));
    if (!name.startsWith(head) || close < 0)
        return false;
    QString inner = name.mid(head.size(), close - head.size()).trimmed();
    if (inner.startsWith(QLatin1Char('['))) {
        if (!inner.endsWith(QLatin1Char(']')))
            return false;
        inner = inner.mid(1, inner.size() - 2).trimmed();
    }
    QString text;
    if (inner.isEmpty() || inner.startsWith(head) || !PaySheetValue(inner, text))
        return false;
    // FormatMoney writes ","; one leading minus is a debt, spelled "Минус".
    const QChar sep = QLocale().decimalPoint().at(0);
    QString digits = text.trimmed();
    const bool negative = digits.startsWith(QLatin1Char('-'));
    if (negative)
        digits.remove(0, 1);
    for (QChar c : digits)
        if (!(c.isSpace() || c.isDigit() || c == QLatin1Char(',') || c == QLatin1Char('.') || c == sep))
            return false;
    digits.remove(QLatin1Char(' '));
    digits.replace(QLatin1Char(','), QLatin1Char('.'));
    if (sep != QLatin1Char('.') && sep != QLatin1Char(','))
        digits.replace(sep, QLatin1Char('.'));
    bool ok = false;
    const double v = digits.isEmpty() ? 0 : digits.toDouble(&ok);
    if (!digits.isEmpty() && !ok)
        return false;
    value = SpellMoney(Currency::FromDouble(negative ? -v : v));
    return true;
}

void TFormFastRep::RLGetValue(TDocument&, int, const QString& name, QString& value)
{
    const QString n = name.trimmed().toUpper();
    QString v;
    if (SectionValue(n, v) || EmployeeValue(n, v) || PodrValue(n, v) || CommonValue(n, v))
        value = v;
}

void TFormFastRep::RVGetValue(TDocument&, int, const QString& name, QString& value)
{
    const QString n = name.trimmed().toUpper();
    QString v;
    if (PaySheetValue(n, v) || EmployeeValue(n, v) || PodrValue(n, v) || CommonValue(n, v))
        value = v;
}

void TFormFastRep::SvodNachGetValue(TDocument&, int, const QString& name, QString& value)
{
    const QString n = name.trimmed().toUpper();
    QString v;
    if (SvodOwnValue(n, v) || PodrValue(n, v) || PaySheetValue(n, v) || CommonValue(n, v))
        value = v;
}

TFormFastRep& FormFastRep()
{
    static QPointer<TFormFastRep> holder;
    if (!holder) {
        holder = new TFormFastRep(GlobalOwner());
        holder->setObjectName(QStringLiteral("FormFastRep"));
    }
    return *holder;
}
