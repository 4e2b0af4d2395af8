#include "reports/ui/DesignDialogs.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/edits/FieldValues.h"

#include "foundation/Messages.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"
#include "reports/ReportDocument.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

const QString kNoVariables = QStringLiteral("Нет предопределенных переменных");

namespace {

bool CtrlEnter(QKeyEvent* e)
{
    return (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && (e->modifiers() & Qt::ControlModifier);
}

QHBoxLayout* OkCancel(TForm* form, const std::function<void()>& ok)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* btOk = Named(new QPushButton(QStringLiteral("OK")), "btOk");
    auto* btCancel = Named(new QPushButton(QStringLiteral("Отмена")), "btCancel");
    btOk->setDefault(true);
    QObject::connect(btOk, &QPushButton::clicked, form, guarded(ok));
    QObject::connect(btCancel, &QPushButton::clicked, form, [form] { form->SetModalResult(mrCancel); });
    row->addWidget(btOk);
    row->addWidget(btCancel);
    return row;
}

QGroupBox* BoundsBox(TBoundsFields& f)
{
    auto* box = Named(new QGroupBox(QStringLiteral("Координаты и размер")), "gbBounds");
    auto* l = new QFormLayout(box);
    f.X = Named(new QLineEdit, "edX");
    f.Y = Named(new QLineEdit, "edY");
    f.DX = Named(new QLineEdit, "edDX");
    f.DY = Named(new QLineEdit, "edDY");
    l->addRow(QStringLiteral("X"), f.X);
    l->addRow(QStringLiteral("Y"), f.Y);
    l->addRow(QStringLiteral("DX"), f.DX);
    l->addRow(QStringLiteral("DY"), f.DY);
    for (QLineEdit* e : {f.X, f.Y, f.DX, f.DY})
        FilterTypedChars(e, TypedKind::Integer);
    return box;
}

} // namespace

// ---------------------------------------------------------------- variables

std::vector<TVarEntry> ParseVariables(const QStringList& lines)
{
    std::vector<TVarEntry> out;
    int section = -1, variable = -1;
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        const QChar first = line.at(0);
        if (first != QLatin1Char('\t') && first != QLatin1Char(' ')) {
            if (first == QLatin1Char(';'))
                continue;
            TVarEntry e;
            e.section = true;
            e.text = e.name = line;
            out.push_back(e);
            section = static_cast<int>(out.size()) - 1;
            variable = -1;
            continue;
        }
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1Char(';')))
            continue;
        if (t.startsWith(QLatin1Char('!')) || t.startsWith(QLatin1Char('-'))) {
            if (variable >= 0)
                out[variable].more << t.mid(1).trimmed();
            continue;
        }
        TVarEntry e;
        e.parent = section;
        const QStringList parts = t.split(QLatin1Char('|'));
        e.name = parts[0].trimmed();
        if (parts.size() == 1)
            e.text = e.name;
        else if (parts.size() == 2)
            e.text = parts[1].trimmed();
        else {
            e.text = parts[1].trimmed();
            e.help = t.section(QLatin1Char('|'), 2).trimmed();
        }
        out.push_back(e);
        variable = static_cast<int>(out.size()) - 1;
    }
    return out;
}

QString VariableHelp(const TVarEntry& e)
{
    if (e.section)
        return QStringLiteral("Секция \"%1\"").arg(e.name);
    QString s = QLatin1Char('[') + e.name + QLatin1Char(']');
    if (!e.help.isEmpty())
        s += QStringLiteral(" :  ") + e.help;
    for (const QString& m : e.more)
        s += QLatin1Char('\n') + m;
    return s;
}

TVarForm::TVarForm(QWidget* parent) : TForm(parent, QStringLiteral("VarForm"))
{
    setWindowTitle(QStringLiteral("Переменные"));
    SetKeyPreview(true);
    auto* root = new QVBoxLayout(this);
    tree = Named(new QTreeWidget, "tree");
    tree->setHeaderHidden(true);
    lbEmpty = Named(new QLabel(kNoVariables), "lbEmpty");
    lbHelp = Named(new QLabel, "lbHelp");
    lbHelp->setWordWrap(true);
    lbHelp->setAutoFillBackground(true);
    root->addWidget(tree, 1);
    root->addWidget(lbEmpty);
    root->addWidget(lbHelp);
    root->addLayout(OkCancel(this, [this] { Pick(tree->currentItem()); }));
    connect(tree, &QTreeWidget::currentItemChanged, this, [this] { ShowHelp(); });
    connect(tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { Pick(item); });
    resize(360, 420);
}

QString TVarForm::Choose(const TDocument& document)
{
    entries_ = ParseVariables(document.Variables);
    chosen_.clear();
    tree->clear();
    std::vector<QTreeWidgetItem*> items;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const TVarEntry& e = entries_[i];
        auto* item = e.parent >= 0 ? new QTreeWidgetItem(items[e.parent]) : new QTreeWidgetItem(tree);
        item->setText(0, e.text);
        item->setData(0, Qt::UserRole, static_cast<int>(i));
        items.push_back(item);
    }
    tree->expandAll();
    tree->setVisible(!entries_.empty());
    lbEmpty->setVisible(entries_.empty());
    if (!items.empty())
        tree->setCurrentItem(items.front());
    ShowHelp();
    return ShowModal() == mrOk ? chosen_ : QString();
}

void TVarForm::ShowHelp()
{
    QTreeWidgetItem* item = tree->currentItem();
    if (!item) {
        lbHelp->clear();
        return;
    }
    const TVarEntry& e = entries_[item->data(0, Qt::UserRole).toInt()];
    lbHelp->setText(VariableHelp(e));
    const bool help = !e.section && (!e.help.isEmpty() || !e.more.isEmpty());
    lbHelp->setBackgroundRole(help ? QPalette::ToolTipBase : QPalette::Window);
    lbHelp->setMinimumHeight(lbHelp->heightForWidth(std::max(lbHelp->width(), 100)));
}

void TVarForm::Pick(QTreeWidgetItem* item)
{
    if (!item || entries_[item->data(0, Qt::UserRole).toInt()].section)
        return; // sections cannot be chosen
    chosen_ = QLatin1Char('[') + entries_[item->data(0, Qt::UserRole).toInt()].name + QLatin1Char(']');
    SetModalResult(mrOk);
}

bool TVarForm::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Pick(tree->currentItem());
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- bounds

void TBoundsFields::Show(const TView& v) const
{
    X->setText(QString::number(v.X));
    Y->setText(QString::number(v.Y));
    DX->setText(QString::number(v.W));
    DY->setText(QString::number(v.H));
}

bool TBoundsFields::Read(QRect& bounds) const
{
    try {
        const auto value = [](QLineEdit* e) { return FieldInteger(e->text(), FieldCaption(e)); };
        const int x = value(X), y = value(Y), w = value(DX), h = value(DY);
        if (w < 1 || h < 1) {
            ShowError(QStringLiteral("Размер элемента должен быть не меньше 1"));
            (w < 1 ? DX : DY)->setFocus();
            return false;
        }
        bounds = QRect(x, y, w, h);
        return true;
    } catch (const EConvertError& e) {
        ShowError(e.Message());
        return false;
    }
}

// ---------------------------------------------------------------- text editor

TEditorForm::TEditorForm(QWidget* parent) : TForm(parent, QStringLiteral("EditorForm"))
{
    setWindowTitle(QStringLiteral("Редактор текста"));
    SetKeyPreview(true);
    auto* root = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    Memo = Named(new QPlainTextEdit, "Memo");
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    body->addWidget(Memo, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(BoundsBox(Fields));
    auto* opts = Named(new QGroupBox(QStringLiteral("Опции")), "gbOptions");
    auto* ol = new QVBoxLayout(opts);
    cbStretch = Named(new QCheckBox(QStringLiteral("Авторазмер секции")), "cbStretch");
    cbWordWrap = Named(new QCheckBox(QStringLiteral("Перенос по словам")), "cbWordWrap");
    ol->addWidget(cbStretch);
    ol->addWidget(cbWordWrap);
    side->addWidget(opts);
    auto* btClear = Named(new QPushButton(QStringLiteral("Очистить")), "btClear");
    btClear->setToolTip(QStringLiteral("Удалить текст\n(Ctrl+Del)"));
    auto* btVar = Named(new QPushButton(QStringLiteral("Переменная")), "btVar");
    btVar->setToolTip(QStringLiteral("Вставить переменную отчета\n(Ins)"));
    connect(btClear, &QPushButton::clicked, this, [this] { Memo->clear(); });
    connect(btVar, &QPushButton::clicked, this, guarded([this] { InsertVariable(); }));
    side->addWidget(btClear);
    side->addWidget(btVar);
    side->addStretch();
    body->addLayout(side);
    root->addLayout(body, 1);
    lbCaret = Named(new QLabel, "lbCaret");
    root->addWidget(lbCaret);
    root->addLayout(OkCancel(this, [this] { TryAccept(); }));
    connect(Memo, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        const QTextCursor c = Memo->textCursor();
        lbCaret->setText(QStringLiteral("%1 : %2").arg(c.blockNumber() + 1).arg(c.positionInBlock() + 1));
    });
    resize(560, 360);
}

bool TEditorForm::Edit(TView& view, TDocument& document)
{
    view_ = &view;
    document_ = &document;
    Memo->setPlainText(view.M.join(QLatin1Char('\n')));
    Memo->moveCursor(QTextCursor::Start);
    lbCaret->setText(QStringLiteral("1 : 1"));
    Fields.Show(view);
    const bool text = view.T == vtText;
    cbStretch->setEnabled(text);
    cbWordWrap->setEnabled(text);
    cbStretch->setChecked(view.SC);
    cbWordWrap->setChecked(view.WordWrap());
    Memo->setFocus();
    const bool ok = ShowModal() == mrOk;
    view_ = nullptr;
    document_ = nullptr;
    return ok;
}

void TEditorForm::TryAccept()
{
    QRect r;
    if (!view_ || !Fields.Read(r))
        return;
    view_->M = Memo->toPlainText().split(QLatin1Char('\n'));
    if (view_->M == QStringList{QString()})
        view_->M.clear();
    if (view_->T == vtText) {
        view_->SC = cbStretch->isChecked();
        view_->SetWordWrap(cbWordWrap->isChecked());
    }
    view_->SetBounds(r);
    SetModalResult(mrOk);
}

void TEditorForm::InsertVariable()
{
    if (!document_ || document_->Variables.isEmpty())
        return;
    if (!vars_)
        vars_ = new TVarForm(this);
    const QString chosen = vars_->Choose(*document_);
    if (!chosen.isEmpty())
        Memo->insertPlainText(chosen); // at the caret; the clipboard stays the user's
}

bool TEditorForm::FormKeyDown(QKeyEvent* event)
{
    if (CtrlEnter(event)) {
        TryAccept();
        return true;
    }
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        InsertVariable();
        return true;
    }
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        Memo->clear();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- picture editor

TGEditorForm::TFileChooser& TGEditorForm::FileChooser()
{
    static TFileChooser chooser = [](QWidget* parent) {
        QFileDialog dialog(parent, QStringLiteral("Загрузить"));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(QStringLiteral("Рисунки (*.bmp *.png *.jpg *.jpeg *.gif);;Все файлы (*)"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
    return chooser;
}

TGEditorForm::TGEditorForm(QWidget* parent) : TForm(parent, QStringLiteral("GEditorForm"))
{
    setWindowTitle(QStringLiteral("Рисунок"));
    SetKeyPreview(true);
    auto* root = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    Image = Named(new QLabel, "Image");
    Image->setFixedSize(200, 200);
    Image->setAlignment(Qt::AlignCenter);
    Image->setFrameShape(QFrame::StyledPanel);
    body->addWidget(Image);
    auto* side = new QVBoxLayout;
    cbStretch = Named(new QCheckBox(QStringLiteral("Растянуть")), "cbStretch");
    auto* btLoad = Named(new QPushButton(QStringLiteral("Загрузить")), "btLoad");
    connect(btLoad, &QPushButton::clicked, this, guarded([this] { Load(); }));
    connect(cbStretch, &QCheckBox::toggled, this, [this] {
        if (!picture_.isNull())
            Image->setPixmap(QPixmap::fromImage(cbStretch->isChecked()
                    ? picture_.scaled(Image->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    : picture_));
    });
    side->addWidget(cbStretch);
    side->addWidget(btLoad);
    side->addWidget(BoundsBox(Fields));
    side->addStretch();
    body->addLayout(side);
    root->addLayout(body);
    edFile = Named(new QLineEdit, "edFile");
    root->addWidget(edFile);
    root->addLayout(OkCancel(this, [this] { TryAccept(); }));
}

bool TGEditorForm::Edit(TView& view)
{
    view_ = &view;
    picture_ = view.Picture;
    edFile->setText(view.M.value(0));
    Fields.Show(view);
    cbStretch->setChecked(!view.WordWrap());
    Image->setPixmap(QPixmap::fromImage(picture_));
    const bool ok = ShowModal() == mrOk;
    view_ = nullptr;
    return ok;
}

void TGEditorForm::Load()
{
    const QString path = FileChooser()(this);
    if (path.isEmpty())
        return;
    edFile->setText(path);
    picture_ = QImage(path);
    Image->setPixmap(QPixmap::fromImage(picture_));
}

void TGEditorForm::TryAccept()
{
    QRect r;
    if (!view_ || !Fields.Read(r))
        return;
    view_->M = QStringList{edFile->text()};
    view_->Picture = picture_;
    view_->SetBounds(r);
    view_->SetWordWrap(!cbStretch->isChecked()); // bit 9: natural size
    SetModalResult(mrOk);
}

bool TGEditorForm::FormKeyDown(QKeyEvent* event)
{
    if (CtrlEnter(event)) {
        TryAccept();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- options

bool ParseMargin(const QString& text, int& thousandths)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double cm = t.toDouble(&ok);
    if (!ok)
        return false;
    thousandths = static_cast<int>(std::lround(cm * 1000.0));
    return true;
}

QString FormatMargin(int thousandths)
{
    QString s = QString::number(thousandths / 1000.0, 'f', 3);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s.replace(QLatin1Char('.'), QLatin1Char(','));
}

TOptForm::TOptForm(QWidget* parent) : TForm(parent, QStringLiteral("OptForm"))
{
    setWindowTitle(QStringLiteral("Параметры"));
    auto* root = new QVBoxLayout(this);
    pc = Named(new QTabWidget, "pc");
    root->addWidget(pc);
    auto group = [](const char* title, QLayout* inner) {
        auto* g = new QGroupBox(QString::fromUtf8(title));
        g->setLayout(inner);
        return g;
    };
    auto check = [](const char* text, const char* name) { return Named(new QCheckBox(QString::fromUtf8(text)), name); };
    auto radio
        = [](const char* text, const char* name) { return Named(new QRadioButton(QString::fromUtf8(text)), name); };
    {
        auto* w = new QWidget;
        auto* l = new QFormLayout(w);
        edName = Named(new QLineEdit, "edName");
        seCategory = Named(new QSpinBox, "seCategory");
        seVersion = Named(new QSpinBox, "seVersion");
        seCategory->setRange(0, 99999);
        seVersion->setRange(0, 99999);
        l->addRow(QStringLiteral("Наименование  документа"), edName);
        l->addRow(QStringLiteral("Номер категории отчета"), seCategory);
        l->addRow(QStringLiteral("Номер версии отчета"), seVersion);
        auto* fl = new QFormLayout;
        edTop = Named(new QLineEdit, "edTop");
        edBottom = Named(new QLineEdit, "edBottom");
        edLeft = Named(new QLineEdit, "edLeft");
        edRight = Named(new QLineEdit, "edRight");
        fl->addRow(QStringLiteral("Верхнее"), edTop);
        fl->addRow(QStringLiteral("Нижнее"), edBottom);
        fl->addRow(QStringLiteral("Слева"), edLeft);
        fl->addRow(QStringLiteral("Справа"), edRight);
        for (QLineEdit* e : {edTop, edBottom, edLeft, edRight})
            FilterTypedChars(e, TypedKind::Float);
        l->addRow(group("Поля (в см)", fl));
        lbFile = Named(new QLabel, "lbFile");
        lbFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
        l->addRow(QStringLiteral("Файл:"), lbFile);
        cbDouble = check("Дважды на странице", "cbDouble");
        l->addRow(cbDouble);
        pc->addTab(w, QStringLiteral("Общие"));
    }
    {
        auto* w = new QWidget;
        auto* l = new QVBoxLayout(w);
        cbContinue = check("Печать вплотную к пред.листу", "cbContinue");
        cbHeaderFirst = check("\"Шапка страницы\" на первом листе", "cbHeaderFirst");
        rbPortrait = radio("Портретная", "rbPortrait");
        rbLandscape = radio("Альбомная", "rbLandscape");
        auto* ol = new QVBoxLayout;
        ol->addWidget(rbPortrait);
        ol->addWidget(rbLandscape);
        l->addWidget(cbContinue);
        l->addWidget(cbHeaderFirst);
        l->addWidget(group(" Ориентация страницы ", ol));
        l->addStretch();
        pc->addTab(w, QStringLiteral("Лист документа"));
    }
    {
        auto* w = new QWidget;
        auto* l = new QVBoxLayout(w);
        auto* fl = new QFormLayout;
        cbFont = Named(new QComboBox, "cbFont");
        cbFont->setEditable(true);
        cbFont->addItems(QFontDatabase::families());
        edFontSize = Named(new QLineEdit, "edFontSize");
        cbBold = check("Жирный", "cbBold");
        cbItalic = check("Курсив", "cbItalic");
        fl->addRow(QStringLiteral("Название"), cbFont);
        fl->addRow(QStringLiteral("Размер"), edFontSize);
        fl->addRow(cbBold);
        fl->addRow(cbItalic);
        l->addWidget(group(" Шрифт ", fl));
        auto* rl = new QFormLayout;
        seFrameWidth = Named(new QSpinBox, "seFrameWidth");
        seFrameWidth->setRange(1, 20);
        rl->addRow(QStringLiteral("Толщина рамки"), seFrameWidth);
        l->addWidget(group(" Прямоугольник ", rl));
        auto* al = new QFormLayout;
        cbHAlign = Named(new QComboBox, "cbHAlign");
        cbHAlign->addItems({QStringLiteral("Влево"), QStringLiteral("Вправо"), QStringLiteral("По центру")});
        cbVAlign = Named(new QComboBox, "cbVAlign");
        cbVAlign->addItems({QStringLiteral("Вверх"), QStringLiteral("По центру"), QStringLiteral("Вниз")});
        cbVertical = check("Вертикальный текст", "cbVertical");
        al->addRow(QStringLiteral("Центровка"), cbHAlign);
        al->addRow(QStringLiteral("По высоте"), cbVAlign);
        al->addRow(cbVertical);
        l->addWidget(group(" Выравнивание текста ", al));
        auto* tl = new QFormLayout;
        edLabel = Named(new QLineEdit, "edLabel");
        cbFrame = check("С рамкой", "cbFrame");
        tl->addRow(QStringLiteral("Содержание"), edLabel);
        tl->addRow(cbFrame);
        l->addWidget(group(" Текст ", tl));
        pc->addTab(w, QStringLiteral("Элемент"));
    }
    {
        auto* w = new QWidget;
        auto* l = new QVBoxLayout(w);
        rbContour = radio("Контуром", "rbContour");
        rbInvers = radio("Инверсией", "rbInvers");
        auto* sl = new QVBoxLayout;
        sl->addWidget(rbContour);
        sl->addWidget(rbInvers);
        l->addWidget(group(" Выделение объектов ", sl));
        rbGrid4 = radio("4 точки", "rbGrid4");
        rbGrid8 = radio("8 точек", "rbGrid8");
        auto* gl = new QVBoxLayout;
        gl->addWidget(rbGrid4);
        gl->addWidget(rbGrid8);
        l->addWidget(group(" Шаг сетки ", gl));
        cbWhite = check("Показать белым", "cbWhite");
        auto* wl = new QVBoxLayout;
        wl->addWidget(cbWhite);
        l->addWidget(group(" Прозрачный цвет ", wl));
        cbBandName = check("Показывать", "cbBandName");
        rbRus = radio("Rus", "rbRus");
        rbLat = radio("Lat", "rbLat");
        auto* nl = new QHBoxLayout;
        nl->addWidget(cbBandName);
        nl->addWidget(rbRus);
        nl->addWidget(rbLat);
        l->addWidget(group(" Название секции ", nl));
        l->addStretch();
        pc->addTab(w, QStringLiteral("Конструктор"));
    }
    root->addLayout(OkCancel(this, [this] { TryAccept(); }));
    // Wide enough for the four page tabs side by side.
    setMinimumWidth(pc->tabBar()->sizeHint().width() + 40);
}

bool TOptForm::Edit(TDocument& d, int page)
{
    document_ = &d;
    const T_RPDefDesigner& s = d.Designer;
    const TPage& p = *d.ActivePage();
    edName->setText(d.StoredNameDocument());
    seCategory->setValue(d.Category);
    seVersion->setValue(d.Version);
    edTop->setText(FormatMargin(d.MarginTop));
    edBottom->setText(FormatMargin(d.MarginBottom));
    edLeft->setText(FormatMargin(d.MarginLeft));
    edRight->setText(FormatMargin(d.MarginRight));
    lbFile->setText(d.NameSaveFile);
    cbDouble->setChecked(d.DoubleOnSheet);
    cbContinue->setChecked(p.P);
    cbHeaderFirst->setChecked(p.F);
    (p.O == 1 ? rbLandscape : rbPortrait)->setChecked(true);
    cbFont->setCurrentText(s.FontName);
    edFontSize->setText(QString::number(s.FontSize));
    cbBold->setChecked(s.FontStyle & 2);
    cbItalic->setChecked(s.FontStyle & 1);
    seFrameWidth->setValue(s.FrameWidth);
    cbHAlign->setCurrentIndex(std::clamp(s.HAlign, 0, 2));
    cbVAlign->setCurrentIndex(std::clamp(s.VAlign, 0, 2));
    cbVertical->setChecked(s.VertText != 0);
    edLabel->setText(s.LabelText);
    cbFrame->setChecked(s.FrameTyp != 0);
    (s.ShapeInvers ? rbInvers : rbContour)->setChecked(true);
    (s.GridSize == 8 ? rbGrid8 : rbGrid4)->setChecked(true);
    cbWhite->setChecked(s.ClearAsWhite);
    cbBandName->setChecked(s.ShowBandName);
    (s.BandNameRus ? rbRus : rbLat)->setChecked(true);
    pc->setCurrentIndex(page);
    const bool ok = ShowModal() == mrOk;
    document_ = nullptr;
    return ok;
}

void TOptForm::TryAccept()
{
    if (!document_)
        return;
    int margins[4] = {0, 0, 0, 0};
    QLineEdit* edits[4] = {edTop, edBottom, edLeft, edRight};
    for (int i = 0; i < 4; ++i)
        if (!ParseMargin(edits[i]->text(), margins[i])) {
            pc->setCurrentIndex(pgCommon);
            edits[i]->setFocus();
            RaiseFieldError(edits[i]->text(), FieldCaption(edits[i]), TypedKind::Float);
        }
    TDocument& d = *document_;
    d.SetNameDocument(edName->text());
    d.Category = seCategory->value();
    d.Version = seVersion->value();
    d.MarginTop = margins[0];
    d.MarginBottom = margins[1];
    d.MarginLeft = margins[2];
    d.MarginRight = margins[3];
    d.DoubleOnSheet = cbDouble->isChecked();
    TPage& p = *d.ActivePage();
    p.P = cbContinue->isChecked();
    p.F = cbHeaderFirst->isChecked();
    p.O = rbLandscape->isChecked() ? 1 : 0;
    T_RPDefDesigner& s = d.Designer;
    s.FontName = cbFont->currentText().left(40);
    bool ok = false;
    const int size = edFontSize->text().trimmed().toInt(&ok);
    s.FontSize = ok && size > 0 ? size : 10;
    s.FontStyle = (cbBold->isChecked() ? 2 : 0) + (cbItalic->isChecked() ? 1 : 0);
    s.FrameWidth = seFrameWidth->value();
    s.HAlign = cbHAlign->currentIndex();
    s.VAlign = cbVAlign->currentIndex();
    s.VertText = cbVertical->isChecked() ? 1 : 0;
    s.LabelText = edLabel->text();
    s.FrameTyp = cbFrame->isChecked() ? 15 : 0;
    s.ShapeInvers = rbInvers->isChecked();
    s.GridSize = rbGrid8->isChecked() ? 8 : 4;
    s.ClearAsWhite = cbWhite->isChecked();
    s.ShowBandName = cbBandName->isChecked();
    s.BandNameRus = rbRus->isChecked();
    SetModalResult(mrOk);
}
