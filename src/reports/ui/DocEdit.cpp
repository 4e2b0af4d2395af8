#include "reports/ui/DocEdit.h"

#include "data/Globals.h"
#include "foundation/Messages.h"
#include "reports/FormingApi.h"
#include "reports/RasVed.h"
#include "reports/ReportDocument.h"
#include "reports/ui/VedTune.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// The save names of the prototype documents; a prototype named by its save
// name already stands for itself.
QString PrototypeSaveName(const QString& prototype)
{
    static const QList<QPair<QString, QString>> names = {
        {QStringLiteral("RLA"), QStringLiteral("RLA")},
        {QStringLiteral("RLB"), QStringLiteral("RLB")},
        {QStringLiteral("RasVed"), QStringLiteral("RV")},
        {QStringLiteral("PlVed"), QStringLiteral("PV")},
        {QStringLiteral("Sprav"), QStringLiteral("SV")},
        {QStringLiteral("SpravPredp"), QStringLiteral("SP")},
        {QStringLiteral("SvodNach"), QStringLiteral("SN")},
    };
    for (const auto& [component, saveName] : names)
        if (prototype.compare(component, Qt::CaseInsensitive) == 0)
            return saveName;
    return QFileInfo(prototype).completeBaseName();
}

QString ChooseWithFileDialog(const QString& folder, const QString& filter)
{
    QFileDialog dialog(nullptr, QString(), folder, filter);
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

const QStringList kCondNames = {QStringLiteral("Все"), QStringLiteral("Сумма не равна 0"),
    QStringLiteral("Сумма больше 0"), QStringLiteral("Сумма меньше 0"), QStringLiteral("Сумма равна 0")};

// A definition not saved yet has no number to show.
QString RVNumText(qint32 number) { return number < 0 ? QString() : QString::number(number); }

} // namespace

TFormDocEdit::TTemplateChooser& TFormDocEdit::TemplateChooser()
{
    static TTemplateChooser chooser = ChooseWithFileDialog;
    return chooser;
}

QString TFormDocEdit::TemplateFilter(const QString& mask, bool withAlgorithm)
{
    const QString rest = QStringLiteral("Все файлы шаблонов (*.dcf *.DCF);;Все файлы (*)");
    if (!withAlgorithm)
        return rest;
    QStringList patterns{mask};
    for (const QString& p : {mask.toLower(), mask.toUpper()})
        if (!patterns.contains(p))
            patterns << p;
    return QStringLiteral("Файлы алгоритма (%1);;").arg(patterns.join(QLatin1Char(' '))) + rest;
}

QString TFormDocEdit::TemplateMask(const T_Algorythm* algorithm)
{
    return (algorithm ? PrototypeSaveName(algorithm->Prototype) : QString()) + QStringLiteral("*.dcf");
}

TFormDocEdit::TFormDocEdit(QWidget* parent) : TForm(parent, QStringLiteral("FormDocEdit"))
{
    setWindowTitle(QStringLiteral("Параметры документа"));
    auto* layout = new QVBoxLayout(this);
    pc = new QTabWidget(this);
    pc->setObjectName(QStringLiteral("pc"));
    layout->addWidget(pc, 1);

    tsMain = new QWidget;
    tsMain->setObjectName(QStringLiteral("tsMain"));
    auto* form = new QFormLayout(tsMain);
    edName = new QLineEdit(tsMain);
    edName->setObjectName(QStringLiteral("edName"));
    form->addRow(QStringLiteral("Наименование"), edName);
    cbAlg = new QComboBox(tsMain);
    cbAlg->setObjectName(QStringLiteral("cbAlg"));
    form->addRow(QStringLiteral("Алгоритм"), cbAlg);
    auto* templateRow = new QHBoxLayout;
    edTemplate = new QLineEdit(tsMain);
    edTemplate->setObjectName(QStringLiteral("edTemplate"));
    btTemplate = new QPushButton(QStringLiteral("..."), tsMain);
    btTemplate->setObjectName(QStringLiteral("btTemplate"));
    btTemplate->setFixedWidth(32);
    lbMask = new QLabel(tsMain);
    lbMask->setObjectName(QStringLiteral("lbMask"));
    templateRow->addWidget(edTemplate, 1);
    templateRow->addWidget(btTemplate);
    templateRow->addWidget(lbMask);
    form->addRow(QStringLiteral("Шаблон"), templateRow);
    rgCond = new QGroupBox(QStringLiteral("Условия выбора"), tsMain);
    rgCond->setObjectName(QStringLiteral("rgCond"));
    auto* condBox = new QVBoxLayout(rgCond);
    condGroup = new QButtonGroup(this);
    for (int i = 0; i < kCondNames.size(); ++i) {
        auto* rb = new QRadioButton(kCondNames[i], rgCond);
        condBox->addWidget(rb);
        condGroup->addButton(rb, i);
    }
    form->addRow(rgCond);
    pc->addTab(tsMain, QStringLiteral("Документ"));

    tsRasVed = new QWidget;
    tsRasVed->setObjectName(QStringLiteral("tsRasVed"));
    auto* rv = new QFormLayout(tsRasVed);
    auto* rvRow = new QHBoxLayout;
    cbRasVed = new QComboBox(tsRasVed);
    cbRasVed->setObjectName(QStringLiteral("cbRasVed"));
    edRVNum = new QLineEdit(tsRasVed);
    edRVNum->setObjectName(QStringLiteral("edRVNum"));
    edRVNum->setReadOnly(true);
    edRVNum->setFixedWidth(60);
    btRasVed = new QPushButton(QStringLiteral("Изменить"), tsRasVed);
    btRasVed->setObjectName(QStringLiteral("btRasVed"));
    rvRow->addWidget(cbRasVed, 1);
    rvRow->addWidget(edRVNum);
    rvRow->addWidget(btRasVed);
    rv->addRow(QStringLiteral("Ведомость"), rvRow);
    cbVedRnd = new QCheckBox(QStringLiteral("Округлять по платежной ведомости"), tsRasVed);
    cbVedRnd->setObjectName(QStringLiteral("cbVedRnd"));
    rv->addRow(cbVedRnd);
    pc->addTab(tsRasVed, QStringLiteral("Таблица выбора"));

    auto* buttons = new QHBoxLayout;
    btDesign = new QPushButton(QStringLiteral("Конструктор"), this);
    btDesign->setObjectName(QStringLiteral("btDesign"));
    btOk = new QPushButton(QStringLiteral("Ok"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    buttons->addWidget(btDesign);
    buttons->addStretch(1);
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    for (QPushButton* b : {btTemplate, btRasVed, btDesign, btOk, btCancel})
        b->setAutoDefault(false);
    layout->addLayout(buttons);
    resize(560, 380);

    connect(edName, &QLineEdit::textChanged, this, [this](const QString& t) { doc_.Name = t; });
    connect(edTemplate, &QLineEdit::textChanged, this, [this](const QString& t) { doc_.Template = t; });
    connect(cbAlg, &QComboBox::currentIndexChanged, this, guarded([this](int i) { AlgorithmChosen(i); }));
    connect(cbRasVed, &QComboBox::currentIndexChanged, this, guarded([this](int i) { RasVedChosen(i); }));
    connect(condGroup, &QButtonGroup::idClicked, this, [this](int id) { doc_.Cond = quint8(id); });
    connect(cbVedRnd, &QCheckBox::toggled, this, [this](bool on) { doc_.VedRnd = on; });
    connect(btTemplate, &QPushButton::clicked, this, guarded([this] { ChooseTemplate(); }));
    connect(btRasVed, &QPushButton::clicked, this, guarded([this] { SetupRasVed(); }));
    connect(btDesign, &QPushButton::clicked, this, guarded([this] { Design(); }));
    connect(btOk, &QPushButton::clicked, this, guarded([this] {
        CheckDocument();
        SetModalResult(mrOk);
    }));
    connect(btCancel, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
}

bool TFormDocEdit::EditDocument(T_Vedom& descriptor, int section)
{
    doc_.Assign(descriptor);
    section_ = section;
    if (cbAlg->count() == 0)
        FillAlgorithms();
    FillFromDoc();
    if (ShowModal() != mrOk)
        return false;
    descriptor.Assign(doc_);
    return true;
}

void TFormDocEdit::FillAlgorithms()
{
    algorithms_ = FormingCalls().Algorithms ? FormingCalls().Algorithms() : QList<T_Algorythm*>();
    ++updating_;
    cbAlg->clear();
    cbAlg->addItem(QStringLiteral("???"), 0);
    for (const T_Algorythm* a : algorithms_)
        cbAlg->addItem(a->Name, a->Number);
    --updating_;
}

void TFormDocEdit::FillRasVedList()
{
    T_RasVedList list;
    list.LoadAll();
    ++updating_;
    cbRasVed->clear();
    cbRasVed->addItem(QStringLiteral("Новая"), -1);
    for (const T_RasVed* ved : list)
        cbRasVed->addItem(ved->Name, ved->Number);
    const int index = cbRasVed->findData(doc_.RVNum);
    cbRasVed->setCurrentIndex(index < 0 ? 0 : index);
    edRVNum->setText(RVNumText(cbRasVed->currentData().toInt()));
    --updating_;
}

void TFormDocEdit::FillFromDoc()
{
    ++updating_;
    FillRasVedList();
    edName->setText(doc_.Name);
    edTemplate->setText(doc_.Template);
    // A Tip of no algorithm leaves the combo empty; 0 (the "???") too.
    const int index = doc_.Tip == 0 ? -1 : cbAlg->findData(doc_.Tip);
    cbAlg->setCurrentIndex(index);
    if (QAbstractButton* rb = condGroup->button(doc_.Cond))
        rb->setChecked(true);
    cbVedRnd->setChecked(doc_.VedRnd);
    --updating_;
    UpdateAlgorithmParts();
}

const T_Algorythm* TFormDocEdit::Algorithm() const
{
    const int index = cbAlg->currentIndex();
    return index >= 1 && index <= algorithms_.size() ? algorithms_[index - 1] : nullptr;
}

void TFormDocEdit::UpdateAlgorithmParts()
{
    const T_Algorythm* a = Algorithm();
    pc->setTabVisible(pc->indexOf(tsRasVed), a && a->UsesRasVed);
    lbMask->setText(TemplateMask(a));
}

void TFormDocEdit::AlgorithmChosen(int index)
{
    if (updating_ > 0)
        return;
    doc_.Tip = index >= 0 ? cbAlg->itemData(index).toInt() : 0;
    UpdateAlgorithmParts();
}

void TFormDocEdit::RasVedChosen(int index)
{
    if (updating_ > 0 || index < 0)
        return;
    doc_.RVNum = cbRasVed->itemData(index).toInt();
    edRVNum->setText(RVNumText(doc_.RVNum));
}

void TFormDocEdit::ChooseTemplate()
{
    const T_Algorythm* a = Algorithm();
    const QString chosen = TemplateChooser()(TxtDir, TemplateFilter(TemplateMask(a), a != nullptr));
    if (chosen.isEmpty())
        return;
    edTemplate->setText(DcfFileName(QFileInfo(chosen).fileName()));
}

void TFormDocEdit::SetupRasVed()
{
    // The shown choice: a number naming no stored definition shows "Новая".
    qint32 number = cbRasVed->currentData().toInt();
    if (!SetupPaySheet(number) || number < 0)
        return;
    doc_.RVNum = number;
    FillRasVedList();
}

void TFormDocEdit::CheckDocument() const
{
    // An empty document would be listed without a name and saved as "TXT/.dcf".
    if (doc_.Name.trimmed().isEmpty())
        ErrorAbort(QStringLiteral("Введите наименование документа"));
    if (Algorithm() == nullptr)
        ErrorAbort(QStringLiteral("Не определен алгоритм формирования документа"));
    if (doc_.TemplateFileName().section(QLatin1Char('.'), 0, 0).trimmed().isEmpty())
        ErrorAbort(QStringLiteral("Неверно определен файл-шаблон"));
}

void TFormDocEdit::Design()
{
    const QString file = doc_.TemplateFileName();
    if (file.section(QLatin1Char('.'), 0, 0).isEmpty())
        ErrorAbort(QStringLiteral("Неверно определен файл-шаблон"));
    if (FormingCalls().DesignTemplate)
        FormingCalls().DesignTemplate(doc_.Template);
}

bool EditDocument(T_Vedom& descriptor, int section)
{
    TFormDocEdit form;
    return form.EditDocument(descriptor, section);
}
