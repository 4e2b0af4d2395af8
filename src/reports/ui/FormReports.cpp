#include "reports/ui/FormReports.h"
#include "foundation/ui/base/FormFuncs.h"

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "data/ui/DpSelect.h"
#include "data/ui/SrSelect.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/UiTypes.h"
#include "foundation/ui/dialogs/GetMean.h"
#include "foundation/ui/edits/DateEdit.h"
#include "reports/FormingApi.h"
#include "reports/ui/DocEdit.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum : int { roleSection = Qt::UserRole, roleDoc = Qt::UserRole + 1 };

const QStringList kHeaders = {
    QStringLiteral("Р а с ч е т н ы е    л и с т к и"),
    QStringLiteral("Р а с ч е т н а я     в е д о м о с т ь"),
    QStringLiteral("П л а т е ж н а я     в е д о м о с т ь"),
    QStringLiteral("С п р а в к и    о б щ и е"),
    QStringLiteral("С в о д н ы е    в е д о м о с т и"),
};

constexpr qint32 kSvodPodr = 72; // the summary of one department

QLineEdit* MakeReadOnly(QWidget* parent, const char* name, int width = 0)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true);
    if (width > 0)
        e->setFixedWidth(width);
    return e;
}

} // namespace

TFormReports::TPickers& TFormReports::Pickers()
{
    static TPickers pickers{
        [](qint32& podr, QList<qint32>& tabns, const QString& prompt) { return SelectTabnList(podr, tabns, prompt); },
        [](qint32 podr, const QString& prompt) { return SelectPodr(podr, prompt); },
        [](quint8 kind, const QString& hint, qint32 current, quint8 sort) {
            return SelectDop(kind, hint, current, sort);
        },
    };
    return pickers;
}

TFormReports::TFormReports(QWidget* parent) : TFormMultyPage(parent, QStringLiteral("FormReports"))
{
    setWindowTitle(QStringLiteral("Выходные формы"));
    SetShowPageButtons(false);
    tabRasVed = new QWidget;
    tabPlVed = new QWidget;
    tabSprav = new QWidget;
    tabSvod = new QWidget;
    const QList<QPair<QWidget*, const char*>> pages = {{tabFirst, "tabFirst"}, {tabRasVed, "tabRasVed"},
        {tabPlVed, "tabPlVed"}, {tabSprav, "tabSprav"}, {tabSvod, "tabSvod"}};
    for (const auto& [page, name] : pages) {
        page->setObjectName(QLatin1String(name));
        auto* box = new QVBoxLayout(page);
        box->setContentsMargins(0, 0, 0, 0);
        if (page != tabFirst)
            AddPage(page);
    }

    pnWork = new QWidget(tabFirst);
    pnWork->setObjectName(QStringLiteral("pnWork"));
    auto* work = new QHBoxLayout(pnWork);
    work->setContentsMargins(0, 0, 0, 0);

    auto* left = new QVBoxLayout;
    tvDocs = new QTreeWidget(pnWork);
    tvDocs->setObjectName(QStringLiteral("tvDocs"));
    tvDocs->setHeaderHidden(true);
    tvDocs->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    left->addWidget(tvDocs, 1);
    auto* treeButtons = new QHBoxLayout;
    btAddSection = MakeButton(pnWork, "btAddSection", QStringLiteral("Новый раздел"));
    btDelSection = MakeButton(pnWork, "btDelSection", QStringLiteral("Удалить раздел"));
    btAddDoc = MakeButton(pnWork, "btAddDoc", QStringLiteral("Новый документ"));
    btDelDoc = MakeButton(pnWork, "btDelDoc", QStringLiteral("Удалить документ"));
    for (QPushButton* b : {btAddSection, btDelSection, btAddDoc, btDelDoc})
        treeButtons->addWidget(b);
    left->addLayout(treeButtons);
    work->addLayout(left, 3);

    auto* right = new QVBoxLayout;
    gbPodr = new QGroupBox(QStringLiteral("Подразделение"), pnWork);
    gbPodr->setObjectName(QStringLiteral("gbPodr"));
    auto* podrRow = new QHBoxLayout(gbPodr);
    edPodrNum = MakeReadOnly(gbPodr, "edPodrNum", 50);
    edPodrName = MakeReadOnly(gbPodr, "edPodrName");
    btPodr = MakeButton(gbPodr, "btPodr", QStringLiteral("..."));
    btPodr->setFixedWidth(32);
    podrRow->addWidget(edPodrNum);
    podrRow->addWidget(edPodrName, 1);
    podrRow->addWidget(btPodr);
    right->addWidget(gbPodr);

    pnPlVed = new QWidget(pnWork);
    pnPlVed->setObjectName(QStringLiteral("pnPlVed"));
    auto* plVed = new QVBoxLayout(pnPlVed);
    plVed->setContentsMargins(0, 0, 0, 0);
    pnAutoPost = new QGroupBox(QStringLiteral("Сброс суммы на удержание"), pnPlVed);
    pnAutoPost->setObjectName(QStringLiteral("pnAutoPost"));
    auto* autoBox = new QVBoxLayout(pnAutoPost);
    cbAutoPost = new QCheckBox(QStringLiteral("Сбросить сумму ведомости на удержание"), pnAutoPost);
    cbAutoPost->setObjectName(QStringLiteral("cbAutoPost"));
    autoBox->addWidget(cbAutoPost);
    auto* dedRow = new QHBoxLayout;
    edDedNum = MakeReadOnly(pnAutoPost, "edDedNum", 50);
    edDedName = MakeReadOnly(pnAutoPost, "edDedName");
    btDed = MakeButton(pnAutoPost, "btDed", QStringLiteral("..."));
    btDed->setFixedWidth(32);
    dedRow->addWidget(edDedNum);
    dedRow->addWidget(edDedName, 1);
    dedRow->addWidget(btDed);
    autoBox->addLayout(dedRow);
    cbAddSum = new QCheckBox(QStringLiteral("Добавить к сумме удержания"), pnAutoPost);
    cbAddSum->setObjectName(QStringLiteral("cbAddSum"));
    autoBox->addWidget(cbAddSum);
    plVed->addWidget(pnAutoPost);
    pnPercent = new QWidget(pnPlVed);
    pnPercent->setObjectName(QStringLiteral("pnPercent"));
    auto* percentRow = new QHBoxLayout(pnPercent);
    cbPercent = new QCheckBox(QStringLiteral("Процент выплаты"), pnPercent);
    cbPercent->setObjectName(QStringLiteral("cbPercent"));
    edPercent = new QDoubleSpinBox(pnPercent);
    edPercent->setObjectName(QStringLiteral("edPercent"));
    edPercent->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    edPercent->setRange(0, 1000);
    edPercent->setDecimals(2);
    percentRow->addWidget(cbPercent);
    percentRow->addWidget(edPercent);
    percentRow->addStretch(1);
    plVed->addWidget(pnPercent);
    right->addWidget(pnPlVed);

    auto* form = new QFormLayout;
    edNum = new QLineEdit(pnWork);
    edNum->setObjectName(QStringLiteral("edNum"));
    form->addRow(QStringLiteral("Номер документа"), edNum);
    edDate = MakeDateEdit(pnWork, "edDate");
    form->addRow(QStringLiteral("Дата"), edDate);
    right->addLayout(form);
    right->addStretch(1);
    auto* actions = new QHBoxLayout;
    btForm = MakeButton(pnWork, "btForm", QStringLiteral("Сформировать"));
    btSetup = MakeButton(pnWork, "btSetup", QStringLiteral("Настройка"));
    btDesign = MakeButton(pnWork, "btDesign", QStringLiteral("Конструктор"));
    btClose = MakeButton(pnWork, "btClose", QStringLiteral("Закрыть"));
    for (QPushButton* b : {btForm, btSetup, btDesign, btClose})
        actions->addWidget(b);
    right->addLayout(actions);
    work->addLayout(right, 2);
    resize(820, 520);

    connect(tvDocs, &QTreeWidget::currentItemChanged, this,
        guarded([this](QTreeWidgetItem* item, QTreeWidgetItem*) { NodeSelected(item); }));
    connect(tvDocs, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { NodeEdited(item); });
    connect(tvDocs, &QTreeWidget::itemDoubleClicked, this, guarded([this](QTreeWidgetItem* item, int) {
        if (item->data(0, roleDoc).toInt() >= 0)
            FormDocument();
    }));
    connect(btAddSection, &QPushButton::clicked, this, guarded([this] { AddSection(); }));
    connect(btDelSection, &QPushButton::clicked, this, guarded([this] { DeleteSection(); }));
    connect(btAddDoc, &QPushButton::clicked, this, guarded([this] { AddDocument(); }));
    connect(btDelDoc, &QPushButton::clicked, this, guarded([this] { DeleteDocument(); }));
    connect(btPodr, &QPushButton::clicked, this, guarded([this] { ChoosePodr(); }));
    connect(btDed, &QPushButton::clicked, this, guarded([this] { ChooseDeduction(); }));
    connect(cbAutoPost, &QCheckBox::toggled, this, [this] { UpdatePanels(); });
    connect(cbPercent, &QCheckBox::toggled, this, [this] { UpdatePanels(); });
    connect(btForm, &QPushButton::clicked, this, guarded([this] { FormDocument(); }));
    connect(btSetup, &QPushButton::clicked, this, guarded([this] { SetupDocument(); }));
    connect(btDesign, &QPushButton::clicked, this, guarded([this] { DesignDocument(); }));
    connect(btClose, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });
}

TFormReports::~TFormReports() = default;

void TFormReports::SetStart(qint32 podr)
{
    // The department shown is the one formed: every working employee of it
    // until the clerk picks a list.
    podr_ = podr;
    tabns_.Clear();
}

void TFormReports::SetKind(int kind)
{
    if (kind < kFirstDocKind || kind > kLastDocKind)
        ErrorAbort(QStringLiteral("Неизвестный режим"));
    kind_ = kind;
    QWidget* page = pc->widget(kind - 1);
    page->layout()->addWidget(pnWork);
    pc->setCurrentIndex(kind - 1);
    PageSetUp();
}

void TFormReports::PageSetUp()
{
    doc_ = -1;
    section_ = 0;
    alg_ = nullptr;
    cbAutoPost->setChecked(false);
    cbAddSum->setChecked(false);
    cbPercent->setChecked(false);
    edPercent->setValue(100);
    sumsPosted_ = false;
    edDate->setDate(ToQDate(Cfg.Workdate));
    lbHeader->setText(kHeaders[kind_ - 1]);
    algorithms_ = FormingCalls().Algorithms ? FormingCalls().Algorithms() : QList<T_Algorythm*>();
    cat_ = std::make_unique<T_Catalogue>(kind_);
    cat_->Load();
    modified_ = false;
    ShowPodr();
    FillTree();
    if (tvDocs->topLevelItemCount() > 0)
        tvDocs->setCurrentItem(tvDocs->topLevelItem(0));
    UpdatePanels();
}

void TFormReports::showEvent(QShowEvent* event)
{
    TFormMultyPage::showEvent(event);
    tvDocs->setFocus();
}

void TFormReports::FillTree()
{
    ++updating_;
    tvDocs->clear();
    for (const TCatSection& s : cat_->Sections.Items) {
        auto* node = new QTreeWidgetItem(tvDocs, {s.Name});
        node->setData(0, roleSection, s.Number);
        node->setData(0, roleDoc, -1);
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        for (int i = 0; i < cat_->Docs.Count(); ++i) {
            const T_Vedom* doc = cat_->Docs.GetVedom(i);
            if (cat_->Sections.SectionOf(*doc) != s.Number)
                continue;
            auto* leaf = new QTreeWidgetItem(node, {doc->Name});
            leaf->setData(0, roleSection, s.Number);
            leaf->setData(0, roleDoc, i);
        }
    }
    tvDocs->expandAll();
    --updating_;
    doc_ = -1;
    alg_ = nullptr;
}

void TFormReports::SelectNode(qint32 section, int docIndex)
{
    for (int i = 0; i < tvDocs->topLevelItemCount(); ++i) {
        QTreeWidgetItem* node = tvDocs->topLevelItem(i);
        if (node->data(0, roleSection).toInt() != section)
            continue;
        QTreeWidgetItem* target = node;
        for (int j = 0; j < node->childCount(); ++j)
            if (node->child(j)->data(0, roleDoc).toInt() == docIndex)
                target = node->child(j);
        tvDocs->setCurrentItem(target);
        NodeSelected(target);
        return;
    }
}

void TFormReports::NodeSelected(QTreeWidgetItem* item)
{
    if (updating_ > 0)
        return;
    section_ = item ? item->data(0, roleSection).toInt() : 0;
    doc_ = item ? item->data(0, roleDoc).toInt() : -1;
    alg_ = Document() ? FindAlgorithm(Document()->Tip) : nullptr;
    UpdatePanels();
}

void TFormReports::NodeEdited(QTreeWidgetItem* item)
{
    if (updating_ > 0 || item->data(0, roleDoc).toInt() >= 0)
        return;
    const qint32 number = item->data(0, roleSection).toInt();
    const int index = cat_->Sections.IndexOf(number);
    const QString text = item->text(0);
    if (index >= 0 && cat_->Sections.Items[index].Name == text)
        return;
    if (!RunGuarded([&] { RenameSection(number, text); }) && index >= 0) {
        ++updating_;
        item->setText(0, cat_->Sections.Items[index].Name);
        --updating_;
    }
}

T_Vedom* TFormReports::Document() const
{
    return cat_ && doc_ >= 0 && doc_ < cat_->Docs.Count() ? cat_->Docs.GetVedom(doc_) : nullptr;
}

T_Algorythm* TFormReports::FindAlgorithm(qint32 number) const
{
    for (T_Algorythm* a : algorithms_)
        if (a->Number == number)
            return a;
    return nullptr;
}

bool TFormReports::AutoPostOn() const
{
    return cbAutoPost->isChecked() && pnAutoPost->isEnabled() && alg_ && alg_->Kind == 4;
}

bool TFormReports::PercentOn() const
{
    return cbPercent->isChecked() && pnPercent->isEnabled() && alg_ && alg_->Kind == 4;
}

void TFormReports::UpdatePanels()
{
    const int kind = alg_ ? alg_->Kind : 0;
    // The department summary needs its department, though its kind has none.
    gbPodr->setVisible((kind != 6 && kind != 7) || (alg_ && alg_->Number == kSvodPodr));
    pnPlVed->setVisible(kind == 4);
    pnAutoPost->setEnabled(section_ == 3);
    pnPercent->setEnabled(section_ == 1 || section_ == 3);
    const bool hasDoc = Document() != nullptr;
    // The form button stays: on a section it says to choose a document.
    for (QPushButton* b : {btSetup, btDesign, btDelDoc})
        b->setEnabled(hasDoc);

    const bool autoOn = cbAutoPost->isChecked() && pnAutoPost->isEnabled();
    const QPalette::ColorRole role = autoOn ? QPalette::Base : QPalette::Window;
    QString name;
    if (autoOn && DNList())
        if (T_Dop* dop = DNList()->FindDop(deduction_))
            name = dop->GetName();
    for (QLineEdit* e : {edDedNum, edDedName}) {
        QPalette p = e->palette();
        p.setColor(QPalette::Base, palette().color(role));
        e->setPalette(p);
    }
    edDedNum->setText(autoOn ? QString::number(deduction_) : QStringLiteral("0"));
    edDedName->setText(name);
    edPercent->setReadOnly(!(cbPercent->isChecked() && pnPercent->isEnabled()));
}

void TFormReports::ShowPodr()
{
    edPodrNum->setText(QString::number(podr_));
    const T_Podr* podr = PNList() ? PNList()->FindPodr(podr_) : nullptr;
    edPodrName->setText(podr ? podr->GetName() : QString());
}

void TFormReports::ChoosePodr()
{
    if (!alg_)
        return;
    const int kind = alg_->Kind;
    qint32 podr = podr_;
    QList<qint32> tabns;
    if (kind == 3 || alg_->Number == kSvodPodr) {
        podr = Pickers().SelectPodr(podr_, QString());
        if (podr == -1)
            return;
    } else if (kind == 1 || kind == 2 || kind == 4 || kind == 5) {
        for (int i = 0; i < tabns_.Count(); ++i)
            tabns.append(tabns_.GetInteger(i));
        if (!Pickers().SelectTabnList(
                podr, tabns, QStringLiteral("Выберите список работников для формирования отчета")))
            return;
    } else {
        return;
    }
    if (!PNList()->FindPodr(podr))
        ErrorAbort(QStringLiteral("Подразделение номер №%1 в справочнике не найдено").arg(podr));
    podr_ = podr;
    tabns_.Clear();
    for (qint32 tabn : tabns)
        tabns_.AddInteger(tabn);
    ShowPodr();
}

void TFormReports::ChooseDeduction()
{
    const qint32 chosen = Pickers().SelectDop(dfDeductions,
        QStringLiteral("Выберите удержание, на которое будет сброшена сумма по ведомости"), deduction_, 0);
    if (chosen < 0)
        return;
    if (chosen != 0 && !DNList()->FindDop(chosen))
        ErrorAbort(QStringLiteral("Начисление №%1 в справочнике не найдено").arg(chosen));
    deduction_ = chosen;
    UpdatePanels();
}

void TFormReports::FormDocument()
{
    T_Vedom* doc = Document();
    if (!doc)
        ErrorAbort(QStringLiteral("Не определена выходная форма|Выберите документ в списке"));
    const TDateTime date = FromQDate(edDate->date());
    if (alg_ && alg_->Kind == 4 && edDate->date() != ToQDate(Cfg.Workdate))
        ErrorAbort(QStringLiteral("Платежные ведомости формируются только на текущую дату"));
    T_PVVars vars;
    vars.AutoPost = AutoPostOn();
    vars.AddToSum = cbAddSum->isChecked();
    vars.DeductionNum = deduction_;
    vars.PercentOn = PercentOn();
    vars.Percent = edPercent->value();
    vars.DopList = &dops_;
    vars.Podr = podr_;
    vars.TabnList = &tabns_;
    vars.Date = date;
    vars.Num = edNum->text();
    if (FormingCalls().RunDocument)
        FormingCalls().RunDocument(*doc, &vars);
    if (vars.AutoPost)
        sumsPosted_ = true;
    cbAddSum->setChecked(false);
}

void TFormReports::SetupDocument()
{
    T_Vedom* doc = Document();
    if (!doc)
        ErrorAbort(QStringLiteral("Не определена выходная форма"));
    const int index = doc_;
    if (!EditDocument(*doc, section_))
        return;
    modified_ = true;
    FillTree();
    SelectNode(section_, index);
}

void TFormReports::DesignDocument()
{
    const T_Vedom* doc = Document();
    if (!doc)
        ErrorAbort(QStringLiteral("Документ не выбран"));
    if (FormingCalls().DesignTemplate)
        FormingCalls().DesignTemplate(doc->Template);
}

void TFormReports::AddSection()
{
    QString name = QStringLiteral("Раздел №%1").arg(cat_->Sections.Items.size() + 1);
    if (!InputString(QStringLiteral("Наименование нового раздела документов"), name))
        return;
    const qint32 number = cat_->Sections.Add(name);
    modified_ = true;
    FillTree();
    SelectNode(number);
}

void TFormReports::DeleteSection()
{
    const qint32 number = section_;
    for (const T_Vedom* doc : cat_->Docs)
        if (cat_->Sections.SectionOf(*doc) == number)
            ErrorAbort(QStringLiteral("Можно удалить только пустой раздел"));
    const int index = cat_->Sections.IndexOf(number);
    if (index < 0)
        ErrorAbort(QStringLiteral("Раздел не найден"));
    if (cat_->Sections.Items[index].Fixed)
        ErrorAbort(QStringLiteral("Раздел не может быть изменен"));
    if (!ConfirmDelete(QStringLiteral("\"") + cat_->Sections.Items[index].Name + QStringLiteral("\""), QString()))
        return;
    cat_->Sections.Delete(number, cat_->Docs);
    modified_ = true;
    FillTree();
    SelectNode(cat_->Sections.Items[index - 1].Number);
}

void TFormReports::RenameSection(qint32 number, const QString& name)
{
    const int index = cat_->Sections.IndexOf(number);
    if (index < 0)
        ErrorAbort(QStringLiteral("Раздел не найден"));
    if (cat_->Sections.Items[index].Fixed)
        ErrorAbort(QStringLiteral("Раздел не может быть изменен"));
    cat_->Sections.Items[index].Name = name;
    modified_ = true;
}

void TFormReports::AddDocument()
{
    const qint32 section = section_ > 0 ? section_ : 1;
    T_Vedom* doc = cat_->Docs.AddVedom();
    doc->Category = section;
    bool kept = false;
    try {
        kept = EditDocument(*doc, section);
    } catch (...) {
        cat_->Docs.FreeObject(doc);
        throw;
    }
    if (!kept) {
        cat_->Docs.FreeObject(doc);
        return;
    }
    modified_ = true;
    FillTree();
    SelectNode(section, cat_->Docs.Count() - 1);
}

namespace {

bool NamesTemplate(const T_VedList& docs, const QString& file)
{
    for (const T_Vedom* doc : docs)
        if (doc->TemplateFileName().compare(file, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Whether a document of the catalogue or of another kind's catalogue names the file.
bool TemplateInUse(const T_Catalogue& shown, const QString& file)
{
    if (NamesTemplate(shown.Docs, file))
        return true;
    for (int kind = 1; kind <= 5; ++kind) {
        if (kind == shown.Kind)
            continue;
        T_Catalogue other(kind, shown.FileName);
        other.Load();
        if (NamesTemplate(other.Docs, file))
            return true;
    }
    return false;
}

} // namespace

void TFormReports::DeleteDocument()
{
    T_Vedom* doc = Document();
    if (!doc)
        ErrorAbort(QStringLiteral("Документ не выбран"));
    if (!ConfirmDelete(QStringLiteral("\"") + doc->Name + QStringLiteral("\""), QString()))
        return;
    const qint32 section = section_;
    const QString file = doc->TemplateFileName();
    cat_->Docs.FreeObject(doc);
    // The template goes with the last document of any kind that names it.
    if (!file.isEmpty() && !TemplateInUse(*cat_, file))
        QFile::remove(TxtDir + file);
    modified_ = true;
    FillTree();
    SelectNode(section);
}

void TFormReports::done(int result)
{
    if (!closed_) {
        closed_ = true;
        GuardedCall([this] {
            if (modified_ && cat_)
                cat_->Save();
            modified_ = false;
            if (sumsPosted_)
                ReloadAllLists();
        });
    }
    TFormMultyPage::done(result);
}

void ShowDocCatalog(int kind, qint32 podr)
{
    TFormReports form;
    form.SetStart(podr);
    form.SetKind(kind);
    form.ShowModal();
}
