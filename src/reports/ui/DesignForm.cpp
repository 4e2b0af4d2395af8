#include "reports/ui/DesignForm.h"

#include "foundation/Messages.h"
#include "reports/ui/DesignDialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

using namespace ReportDesign;

namespace {

const QString kCaption = QStringLiteral("Конструктор отчетов");
const QStringList kSizes = {QStringLiteral(" "), QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("10"),
    QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("14"), QStringLiteral("16"), QStringLiteral("18"),
    QStringLiteral("20"), QStringLiteral("22"), QStringLiteral("24"), QStringLiteral("26"), QStringLiteral("28"),
    QStringLiteral("36"), QStringLiteral("48"), QStringLiteral("72")};

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// A colour bar per entry; the chosen one framed in white, "none" struck.
class TColourDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QRect r = option.rect.adjusted(2, 2, -2, -2);
        const int i = index.row();
        p->save();
        p->fillRect(option.rect, Qt::gray);
        p->fillRect(r, i < kColourNone ? ReportColour(i) : QColor(Qt::white));
        p->setPen(Qt::black);
        if (i == kColourNone)
            p->drawLine(r.bottomLeft(), r.topRight());
        if (option.state & QStyle::State_Selected) {
            p->setPen(QPen(Qt::white, 2));
            p->drawRect(option.rect.adjusted(1, 1, -1, -1));
        }
        p->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return QSize(60, 14); }
};

QListWidget* PopupList(QWidget* parent, const char* name)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setWindowFlags(Qt::Popup);
    return list;
}

// The bars' small pictures, drawn here so that no image files are needed.
QIcon Glyph(const QString& key)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 1));
    auto line = [&](int x0, int y0, int x1, int y1, int w = 1) {
        p.setPen(QPen(Qt::black, w, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(x0, y0, x1, y1);
    };
    auto letter = [&](const QString& t, bool bold, bool italic, bool under) {
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(13);
        f.setBold(bold);
        f.setItalic(italic);
        f.setUnderline(under);
        p.setFont(f);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, t);
    };
    auto frame = [&](int sides) {
        p.setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 1, Qt::DotLine));
        p.drawRect(2, 2, 11, 11);
        if (sides & 8)
            line(2, 2, 14, 2, 2);
        if (sides & 4)
            line(2, 2, 2, 14, 2);
        if (sides & 2)
            line(2, 13, 14, 13, 2);
        if (sides & 1)
            line(13, 2, 13, 14, 2);
    };
    auto bars = [&](int align, bool vertical) {
        for (int i = 0; i < 4; ++i) {
            const int len = i % 2 ? 8 : 12;
            const int off = align == 0 ? 2 : align == 1 ? 14 - len : (16 - len) / 2;
            if (vertical)
                line(3 + 3 * i, off, 3 + 3 * i, off + len);
            else
                line(off, 3 + 3 * i, off + len, 3 + 3 * i);
        }
    };
    if (key == QLatin1String("Tool0")) {
        p.setBrush(Qt::black);
        p.drawPolygon(QPolygon(
            {QPoint(4, 1), QPoint(4, 13), QPoint(7, 10), QPoint(10, 15), QPoint(11, 14), QPoint(9, 9), QPoint(13, 9)}));
    } else if (key == QLatin1String("Tool1"))
        letter(QStringLiteral("T"), true, false, false);
    else if (key == QLatin1String("Tool5"))
        p.drawRect(2, 3, 11, 9);
    else if (key == QLatin1String("Tool2")) {
        p.drawRect(1, 2, 13, 11);
        p.setBrush(QColor(0x00, 0x80, 0x00));
        p.drawPolygon(QPolygon({QPoint(2, 12), QPoint(6, 6), QPoint(9, 10), QPoint(11, 8), QPoint(14, 12)}));
    } else if (key == QLatin1String("Tool4")) {
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawRect(1, 2, 13, 11);
        line(4, 8, 11, 8);
    } else if (key == QLatin1String("Tool3")) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawRect(0, 4, 15, 7);
    } else if (key == QLatin1String("ShapeTop"))
        frame(8);
    else if (key == QLatin1String("ShapeLeft"))
        frame(4);
    else if (key == QLatin1String("ShapeBottom"))
        frame(2);
    else if (key == QLatin1String("ShapeRight"))
        frame(1);
    else if (key == QLatin1String("ShapeRound"))
        frame(15);
    else if (key == QLatin1String("FontBold"))
        letter(QStringLiteral("Ж"), true, false, false);
    else if (key == QLatin1String("FontItalic"))
        letter(QStringLiteral("К"), false, true, false);
    else if (key == QLatin1String("FontUnderline"))
        letter(QStringLiteral("Ч"), false, false, true);
    else if (key == QLatin1String("AlignLeft"))
        bars(0, false);
    else if (key == QLatin1String("AlignRight"))
        bars(1, false);
    else if (key == QLatin1String("AlignCenter"))
        bars(2, false);
    else if (key == QLatin1String("AlignTop"))
        bars(0, true);
    else if (key == QLatin1String("AlignBottom"))
        bars(1, true);
    else if (key == QLatin1String("AlignMiddle"))
        bars(2, true);
    else if (key == QLatin1String("AlignVertical")) {
        p.translate(16, 0);
        p.rotate(90);
        letter(QStringLiteral("A"), true, false, false);
    } else if (key == QLatin1String("ObjUp") || key == QLatin1String("ObjDown")) {
        p.setBrush(QColor(0xC0, 0xC0, 0xC0));
        p.drawRect(key == QLatin1String("ObjUp") ? QRect(5, 1, 9, 7) : QRect(5, 8, 9, 7));
        p.setBrush(Qt::white);
        p.drawRect(key == QLatin1String("ObjUp") ? QRect(1, 6, 9, 7) : QRect(1, 3, 9, 7));
        if (key == QLatin1String("ObjUp")) {
            p.setBrush(QColor(0xC0, 0xC0, 0xC0));
            p.drawRect(5, 1, 9, 7);
        }
    } else if (key == QLatin1String("ObjSelect")) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawRect(1, 1, 13, 13);
        p.setPen(Qt::black);
        p.drawRect(4, 4, 7, 7);
    } else if (key == QLatin1String("ObjCut")) {
        line(4, 1, 10, 10);
        line(11, 1, 5, 10);
        p.drawEllipse(2, 10, 4, 4);
        p.drawEllipse(9, 10, 4, 4);
    } else if (key == QLatin1String("ObjCopy")) {
        p.setBrush(Qt::white);
        p.drawRect(1, 1, 8, 10);
        p.drawRect(6, 4, 8, 10);
    } else if (key == QLatin1String("ObjPaste")) {
        p.setBrush(QColor(0xC0, 0x90, 0x50));
        p.drawRect(1, 2, 10, 12);
        p.setBrush(Qt::white);
        p.drawRect(6, 6, 8, 9);
    } else if (key == QLatin1String("PgNew")) {
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14), QPoint(3, 14)}));
    } else if (key == QLatin1String("PgDel")) {
        p.setBrush(Qt::white);
        p.drawRect(3, 1, 10, 13);
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(4, 4, 12, 12);
        p.drawLine(12, 4, 4, 12);
    } else if (key == QLatin1String("PgPrev") || key == QLatin1String("PgNext")) {
        p.setBrush(Qt::black);
        p.drawPolygon(key == QLatin1String("PgPrev") ? QPolygon({QPoint(11, 2), QPoint(11, 14), QPoint(4, 8)})
                                                     : QPolygon({QPoint(5, 2), QPoint(5, 14), QPoint(12, 8)}));
    } else if (key == QLatin1String("OptGridShow") || key == QLatin1String("OptGridSnap")) {
        for (int x = 1; x < 16; x += 4)
            for (int y = 1; y < 16; y += 4)
                p.drawPoint(x, y);
        if (key == QLatin1String("OptGridSnap")) {
            p.setBrush(Qt::black);
            p.drawRect(5, 5, 4, 4);
        }
    } else if (key == QLatin1String("PgOpt") || key == QLatin1String("OptReport")) {
        p.setBrush(Qt::white);
        p.drawRect(2, 1, 11, 13);
        for (int y = 4; y < 13; y += 3)
            line(4, y, 11, y);
    }
    return QIcon(pm);
}

bool IsTextWithLines(const TView& v) { return v.T == vtText && !v.M.isEmpty(); }
bool IsRectangle(const TView& v) { return v.T == vtText && v.M.isEmpty() && v.FT != 0; }

} // namespace

TDesignClipboard& DesignClipboard()
{
    static TDesignClipboard clipboard;
    return clipboard;
}

// ---------------------------------------------------------------- building

TDesignForm::TDesignForm(TDocument& document, QWidget* parent)
    : TForm(parent, QStringLiteral("DesignForm")), doc_(&document)
{
    ++busy_;
    caption_ = kCaption;
    setWindowTitle(caption_);
    setWindowFlag(Qt::WindowMinMaxButtonsHint);
    SetKeyPreview(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    box_ = new QScrollArea;
    box_->setObjectName(QStringLiteral("ScrollBox"));
    box_->setBackgroundRole(QPalette::Dark);
    surface_ = new TPreview(*this, box_);
    surface_->setContextMenuPolicy(Qt::CustomContextMenu);
    BuildBars();
    root->addWidget(box_, 1);
    auto* status = new QStatusBar;
    lbStatus = new QLabel;
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    status->addWidget(lbStatus);
    root->addWidget(status);
    BuildPopup();
    connect(surface_, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { Popup->popup(surface_->mapToGlobal(at)); });
    --busy_;
}

TDesignForm::~TDesignForm() = default;

QAction* TDesignForm::Act(
    const char* name, const QString& caption, const QString& hint, const QKeySequence& key, std::function<void()> run)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        a->setToolTip(hint);
    if (!key.isEmpty())
        a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, guarded(std::move(run)));
    addAction(a);
    actions_.insert(a->objectName(), a);
    return a;
}

void TDesignForm::BuildBars()
{
    const QString nl = QStringLiteral("\n");
    Act("DocSaveExit", QStringLiteral("Закончить"), QStringLiteral("Сохранить изменения и выйти"), {}, [this] {
        exitMode_ = 1;
        SetModalResult(mrOk);
    });
    Act("DocExit", QStringLiteral("Отмена"), QStringLiteral("Выйти без изменений"), QKeySequence(Qt::ALT | Qt::Key_X),
        [this] {
            exitMode_ = 2;
            SetModalResult(mrCancel);
        });
    Act("DocSave", QStringLiteral("Записать"), QStringLiteral("Записать изменения на диск"), QKeySequence::Save,
        [this] { DocSave(); });
    Act("DocReload", QStringLiteral("Отменить последние изменения"), {}, {}, [this] { DocReload(); });
    Act("DocPreview", QStringLiteral("Просмотр"), QStringLiteral("Просмотр печатного вида документа"),
        QKeySequence(Qt::Key_F3), [this] { DocPreview(); });
    Act("DocRedraw", QStringLiteral("Перерисовать"), {}, QKeySequence(Qt::CTRL | Qt::Key_R),
        [this] { surface_->update(); });
    Act("ObjUp", QStringLiteral("Поднять на верх"), QStringLiteral("Поднять выделенные объекты на верх"), {},
        [this] { ObjUpDown(true); });
    Act("ObjDown", QStringLiteral("Спустить вниз"), QStringLiteral("Спустить выделенные объекты вниз"), {},
        [this] { ObjUpDown(false); });
    Act("ObjSelect", QStringLiteral("Выделить все"), QStringLiteral("Выделить все / Отменить выделение"),
        QKeySequence(Qt::CTRL | Qt::Key_A), [this] { ObjSelect(); })
        ->setCheckable(true);
    Act("ObjCut", QStringLiteral("Убрать"), QStringLiteral("Перенести выделенные элементы ") + nl + "в буфер обмена",
        QKeySequence(Qt::CTRL | Qt::Key_X), [this] { ObjCut(); });
    Act("ObjCopy", QStringLiteral("Копировать"),
        QStringLiteral("Копировать выделенные элементы ") + nl + "в буфер обмена", QKeySequence(Qt::CTRL | Qt::Key_C),
        [this] { ObjCopy(); });
    Act("ObjPaste", QStringLiteral("Вставить"),
        QStringLiteral("Вставить выделенные элементы ") + nl + "из буфера обмена", QKeySequence(Qt::CTRL | Qt::Key_V),
        [this] { ObjPaste(); });
    Act("ObjPrev", QString(), {}, QKeySequence(Qt::CTRL | Qt::Key_P), [this] { ObjStep(-1); });
    Act("ObjNext", QString(), {}, QKeySequence(Qt::CTRL | Qt::Key_N), [this] { ObjStep(1); });
    Act("PgNew", QStringLiteral("Новый"), QStringLiteral("Новай лист документа"), {}, [this] { PgNew(); });
    Act("PgDel", QStringLiteral("Удалить"), QStringLiteral("Удалить текущий лист документа"), {}, [this] { PgDel(); });
    Act("PgOpt", QStringLiteral("Параметры листа"), {}, {}, [this] { Options(TOptForm::pgSheet); });
    Act("PgPrev", QStringLiteral("Предыдущий"), {}, {}, [this] { ShowPage(doc_->ActivePageIndex() - 1); });
    Act("PgNext", QStringLiteral("Следующий"), {}, {}, [this] { ShowPage(doc_->ActivePageIndex() + 1); });
    Act("OptGridShow", QStringLiteral("Показывать сетку"), {}, {}, [this] {
        doc_->Designer.ShowGrid = Action(QStringLiteral("OptGridShow"))->isChecked();
        surface_->update();
    })->setCheckable(true);
    Act("OptGridSnap", QStringLiteral("Привязка к сетке"), {}, {}, [this] {
        doc_->Designer.SnapToGrid = Action(QStringLiteral("OptGridSnap"))->isChecked();
    })->setCheckable(true);
    Act("OptReport", QStringLiteral("Параметры документа"), {}, {}, [this] { Options(TOptForm::pgCommon); });
    Act("OptShowWhite", QString(), {}, QKeySequence(Qt::CTRL | Qt::Key_W), [this] {
        doc_->Designer.ClearAsWhite = !doc_->Designer.ClearAsWhite;
        surface_->update();
    });
    const std::pair<const char*, const char*> shapes[]
        = {{"ShapeRound", "Окружить рамкой"}, {"ShapeLeft", "Линия слева"}, {"ShapeRight", "Линия справа"},
            {"ShapeTop", "Линия сверху"}, {"ShapeBottom", "Линия снизу"}};
    const int bits[] = {15, 4, 1, 8, 2};
    for (int i = 0; i < 5; ++i) {
        const QString name = QString::fromLatin1(shapes[i].first);
        Act(shapes[i].first, QString::fromUtf8(shapes[i].second), {}, {}, [this, bit = bits[i], name] {
            Shape(bit, Action(name));
        })->setCheckable(true);
    }

    auto bar = [](const char* name, bool texts = false) {
        auto* b = new QToolBar;
        b->setObjectName(QString::fromLatin1(name));
        b->setIconSize(QSize(16, 16));
        b->setToolButtonStyle(texts ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
        return b;
    };
    auto* top = new QHBoxLayout;
    top->setSpacing(0);
    auto* second = new QHBoxLayout;
    second->setSpacing(0);
    static_cast<QBoxLayout*>(layout())->addLayout(top);
    static_cast<QBoxLayout*>(layout())->addLayout(second);

    QToolBar* tbDoc = bar("tbDoc", true);
    for (const char* n : {"DocSaveExit", "DocExit", "DocSave", "DocReload", "DocPreview"})
        tbDoc->addAction(Action(QString::fromLatin1(n)));
    QToolBar* tbPage = bar("tbPage");
    for (const char* n : {"PgNew", "PgDel", "PgOpt", "PgPrev", "PgNext"})
        tbPage->addAction(Action(QString::fromLatin1(n)));
    tbPage->addSeparator();
    for (const char* n : {"OptGridShow", "OptGridSnap", "OptReport"})
        tbPage->addAction(Action(QString::fromLatin1(n)));
    top->addWidget(tbDoc);
    top->addWidget(tbPage);
    top->addStretch();

    QToolBar* tbTools = bar("tbTools");
    tools_ = new QActionGroup(this);
    tools_->setExclusive(true);
    const std::pair<int, const char*> tools[]
        = {{toolSelect, "Выбор"}, {toolText, "Текст"}, {toolRectangle, "Прямоугольник"}, {toolPicture, "Картинка"},
            {toolOwnerDraw, "Рамка собственной прорисовки"}, {toolBand, "Секция документа"}};
    for (const auto& [tool, text] : tools) {
        auto* a = tools_->addAction(QString::fromUtf8(text));
        a->setObjectName(QStringLiteral("Tool%1").arg(tool));
        a->setCheckable(true);
        a->setToolTip(QString::fromUtf8(text));
        toolActions_.insert(tool, a);
        connect(a, &QAction::triggered, this, [this, tool = tool] {
            surface_->SetTool(tool);
            // Chosen with Shift, a tool stays for several objects.
            surface_->SetRepeat(tool != toolSelect && (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier));
        });
        tbTools->addAction(a);
    }
    second->addWidget(tbTools);

    QToolBar* tbObj = bar("tbObj");
    for (const char* n : {"ObjUp", "ObjDown", "ObjSelect", "ObjCut", "ObjCopy", "ObjPaste"})
        tbObj->addAction(Action(QString::fromLatin1(n)));
    btElement = new QToolButton;
    btElement->setObjectName(QStringLiteral("btElement"));
    btElement->setToolTip(QStringLiteral("Вид текущего выбранного элемента "));
    btElement->setToolButtonStyle(Qt::ToolButtonIconOnly);
    btElementDrop = new QToolButton;
    btElementDrop->setObjectName(QStringLiteral("btElementDrop"));
    btElementDrop->setArrowType(Qt::DownArrow);
    tbObj->addWidget(btElement);
    tbObj->addWidget(btElementDrop);
    connect(btElement, &QToolButton::clicked, this, [this] { surface_->update(); });
    connect(btElementDrop, &QToolButton::clicked, this, guarded([this] {
        if (marker_) {
            if (lbBands->isVisible())
                HideLists();
            else
                ShowList(lbBands, btElementDrop);
        } else if (TView* v = Single()) {
            if (EditObject(*v))
                Changed();
        }
    }));
    second->addWidget(tbObj);
    second->addStretch();

    auto* third = new QHBoxLayout;
    third->setSpacing(0);
    static_cast<QBoxLayout*>(layout())->addLayout(third);
    tbFrame = bar("tbFrame");
    for (const char* n : {"ShapeTop", "ShapeLeft", "ShapeBottom", "ShapeRight", "ShapeRound"})
        tbFrame->addAction(Action(QString::fromLatin1(n)));
    seFrameWidth = new QSpinBox;
    seFrameWidth->setObjectName(QStringLiteral("seFrameWidth"));
    seFrameWidth->setToolTip(QStringLiteral("Толщина линии"));
    seFrameWidth->setRange(1, 20);
    connect(seFrameWidth, &QSpinBox::valueChanged, this, [this](int w) {
        if (!busy_)
            ForSelection([w](TView& v) { v.FW = w; });
    });
    tbFrame->addWidget(seFrameWidth);
    third->addWidget(tbFrame);

    tbFont = bar("tbFont");
    cbFont = new QComboBox;
    cbFont->setObjectName(QStringLiteral("cbFont"));
    cbFont->setToolTip(QStringLiteral("Шрифт"));
    cbFont->addItem(QString());
    cbFont->addItems(QFontDatabase::families());
    cbFont->setMinimumContentsLength(14);
    connect(cbFont, &QComboBox::activated, this, [this](int i) {
        if (!busy_ && i > 0)
            ForSelection([name = cbFont->itemText(i).left(40)](TView& v) { v.FN = name; });
    });
    cbSize = new QComboBox;
    cbSize->setObjectName(QStringLiteral("cbSize"));
    cbSize->setToolTip(QStringLiteral("Размер шрифта"));
    cbSize->setEditable(true);
    cbSize->addItems(kSizes);
    cbSize->setMinimumContentsLength(3);
    auto applySize = [this] {
        bool ok = false;
        const int size = cbSize->currentText().trimmed().toInt(&ok);
        if (!busy_ && ok && size > 0) // another text keeps the old size
            ForSelection([size](TView& v) { v.FS = size; });
    };
    connect(cbSize, &QComboBox::activated, this, applySize);
    connect(cbSize->lineEdit(), &QLineEdit::editingFinished, this, applySize);
    tbFont->addWidget(cbFont);
    tbFont->addWidget(cbSize);
    const std::tuple<const char*, const char*, int> styles[]
        = {{"FontBold", "Ж", 2}, {"FontItalic", "К", 1}, {"FontUnderline", "Ч", 4}};
    for (const auto& [name, text, bit] : styles) {
        auto* a = tbFont->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(true);
        actions_.insert(a->objectName(), a);
        connect(a, &QAction::toggled, this, [this, bit = bit](bool on) {
            if (!busy_)
                ForSelection([bit, on](TView& v) { v.FY = on ? v.FY | bit : v.FY & ~bit; });
        });
    }
    third->addWidget(tbFont);

    tbColour = bar("tbColour");
    lbFill = PopupList(this, "lbFill");
    lbText = PopupList(this, "lbText");
    for (QListWidget* l : {lbFill, lbText}) {
        l->setItemDelegate(new TColourDelegate(l));
        for (int i = 0; i <= kColourNone; ++i)
            l->addItem(QString());
        l->setFixedSize(70, 17 * 14 + 4);
    }
    btFill = new QToolButton;
    btFill->setObjectName(QStringLiteral("btFill"));
    btFill->setText(QStringLiteral("Фон"));
    btFill->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btFill->setToolTip(QStringLiteral("Цвет фона"));
    btTextColour = new QToolButton;
    btTextColour->setObjectName(QStringLiteral("btTextColour"));
    btTextColour->setText(QStringLiteral("Цвет"));
    btTextColour->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btTextColour->setToolTip(QStringLiteral("Цвет надписи"));
    connect(btFill, &QToolButton::clicked, this, [this] { ShowList(lbFill, btFill); });
    connect(btTextColour, &QToolButton::clicked, this, [this] { ShowList(lbText, btTextColour); });
    connect(lbFill, &QListWidget::itemClicked, this, guarded([this] {
        const int c = lbFill->currentRow();
        HideLists();
        ForSelection([c](TView& v) { v.FP = (v.FP & ~0xFF) | c; });
    }));
    connect(lbText, &QListWidget::itemClicked, this, guarded([this] {
        const int c = lbText->currentRow();
        HideLists();
        doc_->Designer.FP = (doc_->Designer.FP & 0xFF) | (c << 8);
        ForSelection([c](TView& v) { v.FP = (v.FP & 0xFF) | (c << 8); });
    }));
    tbColour->addWidget(btFill);
    tbColour->addWidget(btTextColour);
    third->addWidget(tbColour);

    tbAlign = bar("tbAlign");
    const std::tuple<const char*, const char*, int, bool> aligns[] = {{"AlignLeft", "Влево", 0, true},
        {"AlignCenter", "По центру", 2, true}, {"AlignRight", "Вправо", 1, true}, {"AlignTop", "Вверх", 0, false},
        {"AlignMiddle", "Посередине", 1, false}, {"AlignBottom", "Вниз", 2, false}};
    auto* hGroup = new QActionGroup(this);
    auto* vGroup = new QActionGroup(this);
    for (const auto& [name, text, value, horizontal] : aligns) {
        auto* a = tbAlign->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(true);
        (horizontal ? hGroup : vGroup)->addAction(a);
        actions_.insert(a->objectName(), a);
        connect(a, &QAction::triggered, this, [this, value = value, horizontal = horizontal] {
            if (!busy_)
                ForSelection([&](TView& v) { horizontal ? v.SetHAlign(value) : v.SetVAlign(value); });
        });
    }
    auto* vertical = tbAlign->addAction(QStringLiteral("90°"));
    vertical->setObjectName(QStringLiteral("AlignVertical"));
    vertical->setToolTip(QStringLiteral("Разворот надписи на 90 градусов"));
    vertical->setCheckable(true);
    actions_.insert(vertical->objectName(), vertical);
    connect(vertical, &QAction::toggled, this, [this](bool on) {
        if (!busy_)
            ForSelection([on](TView& v) { v.SetVerticalText(on); });
    });
    third->addWidget(tbAlign);
    third->addStretch();

    for (QAction* a : actions_)
        if (const QIcon icon = Glyph(a->objectName()); !a->objectName().startsWith(QLatin1String("Doc")))
            a->setIcon(icon);
    for (QAction* a : tools_->actions())
        a->setIcon(Glyph(a->objectName()));
    lbBands = PopupList(this, "lbBands");
    connect(lbBands, &QListWidget::itemClicked, this, guarded([this] { ChooseBand(lbBands->currentRow()); }));
}

void TDesignForm::BuildPopup()
{
    Popup = new QMenu(this);
    Popup->setObjectName(QStringLiteral("Popup"));
    auto item = [this](const char* name, const char* text, std::function<void()> run) {
        QAction* a = Popup->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, guarded(std::move(run)));
        actions_.insert(a->objectName(), a);
        return a;
    };
    item("pmStretch", "Авторазмер секции", [this] {
        ForSelection([on = Action(QStringLiteral("pmStretch"))->isChecked()](TView& v) { v.SC = on; });
    })->setCheckable(true);
    item("pmWordWrap", "Перенос по словам", [this] {
        ForSelection([on = Action(QStringLiteral("pmWordWrap"))->isChecked()](TView& v) { v.SetWordWrap(on); });
    })->setCheckable(true);
    item("pmSection", "Выделить секцию", [this] { SelectSection(); });
    item("pmTexts", "Выделить только надписи", [this] { NarrowSelection(true); });
    item("pmLines", "Выделить только линии", [this] { NarrowSelection(false); });
    Popup->addSeparator();
    item("pmEdit", "Редактировать", [this] {
        if (TView* v = Single(); v && EditObject(*v))
            Changed();
    });
    item("pmDelete", "Удалить", [this] { surface_->DeleteSelected(); });
    item("pmCopy", "Копировать", [this] { ObjCopy(); });
    item("pmCut", "Вырезать", [this] { ObjCut(); });
    item("pmPaste", "Вставить", [this] { ObjPaste(); });
    connect(Popup, &QMenu::aboutToShow, this, [this] { PopupShowing(); });
}

// ---------------------------------------------------------------- lifecycle

void TDesignForm::Execute()
{
    modal_ = true;
    T_RPDefDesigner& s = doc_->Designer;
    if (s.WState == 1)
        s.WState = 2;
    setGeometry(s.Left, s.Top, s.Width, s.Height);
    if (s.WState == 2)
        setWindowState(Qt::WindowMaximized);
    ShowModal();
}

void TDesignForm::Open()
{
    modal_ = false;
    T_RPDefDesigner& s = doc_->Designer;
    if (s.WState == 1)
        s.WState = 2;
    setGeometry(s.Left, s.Top, s.Width, s.Height);
    if (s.WState == 2)
        showMaximized();
    else
        show();
}

void TDesignForm::BringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TDesignForm::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (event->spontaneous() || !doc_)
        return;
    skipActivation_ = true;
    FillBands();
    FullRefresh();
}

void TDesignForm::changeEvent(QEvent* event)
{
    TForm::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow())
        return;
    if (std::exchange(skipActivation_, false))
        return;
    surface_->update();
}

void TDesignForm::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    if (doc_)
        surface_->FitToBox();
}

void TDesignForm::done(int result)
{
    if (ended_ || !doc_) {
        TForm::done(result);
        return;
    }
    if (exitMode_ == 0)
        exitMode_ = 2;
    closing_ = true;
    // A drag still held is dropped first: its Ctrl copy is neither saved nor left behind.
    surface_->ResetMouse();
    // A template that never had a file has nothing to be saved to or read back from.
    if (doc_->SavingAllowed && !doc_->Unmodified && !doc_->NameSaveFile.isEmpty()) {
        if (exitMode_ == 1) {
            if (!RunGuarded([this] { DocSave(); })) { // the clerk may still cancel
                closing_ = false;
                exitMode_ = 0;
                return;
            }
        } else {
            RunGuarded([this] { DocReload(); });
        }
    }
    ended_ = true;
    surface_->ResetMouse();
    HideLists();
    if (DesignClipboard().Source == doc_) // the copies stay; the document may go
        DesignClipboard().Source = nullptr;
    TForm::done(result);
    if (!modal_)
        deleteLater();
    // The host may free the document in OnEndDesign: nothing here touches it after.
    std::exchange(doc_, nullptr)->DesignClosed();
}

void TDesignForm::FillBands()
{
    lbBands->clear();
    const auto& names = doc_->Designer.BandNameRus ? BandNamesRus : BandNamesEng;
    int widest = 0;
    const QFontMetrics fm(lbBands->font());
    for (int k = 0; k < btFree; ++k) {
        lbBands->addItem(names[k]);
        widest = std::max(widest, fm.horizontalAdvance(names[k]));
    }
    lbBands->setFixedSize(
        widest + 10 + lbBands->frameWidth() * 2 + 4, lbBands->sizeHintForRow(0) * btFree + lbBands->frameWidth() * 2);
}

void TDesignForm::FullRefresh()
{
    ++busy_;
    doc_->SetRendering(false);
    surface_->ResetMouse();
    surface_->SetTool(toolSelect);
    surface_->SetRepeat(false);
    toolActions_[toolSelect]->setChecked(true);
    Action(QStringLiteral("OptGridShow"))->setChecked(doc_->Designer.ShowGrid);
    Action(QStringLiteral("OptGridSnap"))->setChecked(doc_->Designer.SnapToGrid);
    Action(QStringLiteral("ObjPaste"))->setEnabled(!DesignClipboard().Views.empty());
    HideLists();
    SetCaption();
    --busy_;
    ShowPage(0);
}

void TDesignForm::SetCaption()
{
    setWindowTitle(caption_ + QStringLiteral(":  \"") + doc_->NameDocument() + QLatin1Char('"'));
}

void TDesignForm::ShowPage(int index)
{
    if (!doc_ || index < 0 || index >= doc_->PageCount())
        return;
    doc_->SetActivePage(index);
    surface_->ClearSelection();
    box_->horizontalScrollBar()->setValue(0);
    box_->verticalScrollBar()->setValue(0);
    surface_->FitToBox();
    lbStatus->setText(QStringLiteral("стр. %1/%2").arg(index + 1).arg(doc_->PageCount()));
    Action(QStringLiteral("PgPrev"))->setEnabled(index > 0);
    Action(QStringLiteral("PgNext"))->setEnabled(index < doc_->PageCount() - 1);
    Action(QStringLiteral("PgDel"))->setEnabled(doc_->PageCount() > 1);
    surface_->update();
    RefreshBars();
}

// ---------------------------------------------------------------- bars

QList<TView*> TDesignForm::Selection() const
{
    QList<TView*> out;
    if (TPage* page = doc_ ? doc_->ActivePage() : nullptr)
        for (int i = 0; i < page->ViewCount(); ++i)
            if (page->View(i)->Selected)
                out << page->View(i);
    return out;
}

TView* TDesignForm::Single() const
{
    const QList<TView*> s = Selection();
    return s.size() == 1 ? s.front() : nullptr;
}

void TDesignForm::ForSelection(const std::function<void(TView&)>& change, bool markers)
{
    bool any = false;
    for (TView* v : Selection())
        if (markers || v->T != vtBand) {
            change(*v);
            any = true;
        }
    if (any)
        Changed();
}

void TDesignForm::Changed()
{
    if (!doc_)
        return;
    doc_->Unmodified = false;
    surface_->update();
    RefreshBars();
}

void TDesignForm::BarsChanged(bool releaseChecks)
{
    if (releaseChecks)
        for (QToolBar* bar : {tbFrame, tbFont, tbColour, tbAlign})
            for (QAction* a : bar->actions())
                if (a->isCheckable()) {
                    ++busy_;
                    a->setChecked(false);
                    --busy_;
                }
    RefreshBars();
}

void TDesignForm::ToolReverted() { toolActions_[toolSelect]->setChecked(true); }

void TDesignForm::SetBarEnabled(QToolBar* bar, bool on)
{
    bar->setEnabled(on);
    for (QWidget* w : bar->findChildren<QWidget*>())
        w->setEnabled(on);
}

void TDesignForm::HideLists()
{
    for (QListWidget* l : {lbBands, lbFill, lbText})
        if (l)
            l->hide();
}

QPoint TDesignForm::PopupPlace(const QRect& button, const QSize& popup, const QRect& box)
{
    QPoint at(std::max(button.left(), box.left()), button.top() + button.height());
    if (at.y() + popup.height() > box.top() + box.height())
        at.setY(box.top() + box.height() - popup.height());
    if (at.y() < box.top())
        at.setY(box.top());
    return at;
}

void TDesignForm::ShowList(QListWidget* list, QWidget* button)
{
    const QRect b(button->mapToGlobal(QPoint()), button->size());
    const QRect area(box_->mapToGlobal(QPoint()), box_->size());
    list->move(PopupPlace(b, list->size(), area));
    list->show();
    list->setFocus();
}

void TDesignForm::RefreshBars()
{
    if (!doc_ || !doc_->ActivePage())
        return;
    ++busy_;
    HideLists();
    marker_ = false;
    const TPage& page = *doc_->ActivePage();
    const QList<TView*> sel = Selection();
    TView* one = sel.size() == 1 ? sel.front() : nullptr;
    // 2. the current element's look
    QAction* look = Action(QStringLiteral("PgNew"));
    if (sel.size() > 1)
        look = Action(QStringLiteral("ObjSelect"));
    else if (one) {
        int tool = toolText;
        if (one->T == vtBand) {
            tool = toolBand;
            marker_ = true;
            lbBands->setCurrentRow(std::clamp(one->FT, 0, static_cast<int>(btOverlay)));
        } else if (one->T == vtPicture)
            tool = toolPicture;
        else if (one->T == vtOwnerDraw)
            tool = toolOwnerDraw;
        else if (IsRectangle(*one))
            tool = toolRectangle;
        look = toolActions_[tool];
    }
    btElement->setText(look->text());
    btElement->setIcon(look->icon());
    // 3. one object
    if (one && one->T != vtBand) {
        const std::pair<const char*, bool> frame[]
            = {{"ShapeTop", (one->FT & 8) != 0}, {"ShapeLeft", (one->FT & 4) != 0}, {"ShapeBottom", (one->FT & 2) != 0},
                {"ShapeRight", (one->FT & 1) != 0}, {"ShapeRound", one->FT != 0}};
        for (const auto& [name, on] : frame)
            Action(QString::fromLatin1(name))->setChecked(on);
        seFrameWidth->setValue(one->FW);
        if (one->T == vtText) {
            lbFill->setCurrentRow(std::clamp(one->FP & 0xFF, 0, kColourNone));
            lbText->setCurrentRow(std::clamp(one->FP >> 8, 0, kColourNone));
            if (cbFont->findText(one->FN) < 0) // a template's font this screen does not have
                cbFont->addItem(one->FN);
            cbFont->setCurrentIndex(cbFont->findText(one->FN));
            int row = -1;
            for (int i = cbSize->count() - 1; i >= 0 && row < 0; --i) {
                bool ok = false;
                const int n = cbSize->itemText(i).toInt(&ok);
                if (ok && n <= one->FS)
                    row = i;
            }
            cbSize->setCurrentIndex(row);
            cbSize->setEditText(QString::number(one->FS));
            Action(QStringLiteral("FontBold"))->setChecked(one->FY & 2);
            Action(QStringLiteral("FontItalic"))->setChecked(one->FY & 1);
            Action(QStringLiteral("FontUnderline"))->setChecked(one->FY & 4);
            Action(QStringLiteral("AlignVertical"))->setChecked(one->VerticalText());
            const char* h[] = {"AlignLeft", "AlignRight", "AlignCenter"};
            const char* v[] = {"AlignTop", "AlignMiddle", "AlignBottom"};
            Action(QString::fromLatin1(h[one->HAlign()]))->setChecked(true);
            Action(QString::fromLatin1(v[std::clamp(one->VAlign(), 0, 2)]))->setChecked(true);
        }
    }
    // 4. several objects
    if (sel.size() > 1) {
        seFrameWidth->setValue(1);
        cbFont->setCurrentIndex(0);
        cbSize->setCurrentIndex(-1);
    }
    // 5. which bars work
    // The selected objects decide, not the page's first one: two pictures
    // are offered no font, two texts are not blocked by another picture.
    bool allText = !sel.isEmpty(), allFramed = !sel.isEmpty();
    for (const TView* v : sel) {
        allText = allText && v->T == vtText;
        allFramed = allFramed && (v->T == vtText || v->T == vtPicture);
    }
    for (QToolBar* bar : {tbFont, tbColour, tbAlign})
        SetBarEnabled(bar, allText);
    SetBarEnabled(tbFrame, allFramed);
    if (!allText) {
        cbFont->setCurrentIndex(0);
        cbSize->setCurrentIndex(0);
    }
    // 6. the document's buttons
    Action(QStringLiteral("DocSave"))->setEnabled(!doc_->Unmodified);
    Action(QStringLiteral("DocReload"))->setEnabled(!doc_->Unmodified);
    QAction* all = Action(QStringLiteral("ObjSelect"));
    all->setChecked(sel.size() >= 2);
    all->setEnabled(page.ViewCount() > 0);
    for (const char* n : {"ObjUp", "ObjDown", "ObjCut", "ObjCopy"})
        Action(QString::fromLatin1(n))->setEnabled(!sel.isEmpty());
    --busy_;
}

void TDesignForm::PopupShowing()
{
    const QList<TView*> sel = Selection();
    TView* one = sel.size() == 1 ? sel.front() : nullptr;
    for (const char* n : {"pmCopy", "pmCut", "pmDelete"})
        Action(QString::fromLatin1(n))->setEnabled(!sel.isEmpty());
    Action(QStringLiteral("pmPaste"))->setEnabled(!DesignClipboard().Views.empty());
    Action(QStringLiteral("pmEdit"))->setEnabled(one != nullptr);
    const bool text = one && one->T == vtText;
    Action(QStringLiteral("pmStretch"))->setVisible(text);
    Action(QStringLiteral("pmWordWrap"))->setVisible(text);
    if (text) {
        Action(QStringLiteral("pmStretch"))->setChecked(one->SC);
        Action(QStringLiteral("pmWordWrap"))->setChecked(one->WordWrap());
    }
    bool marker = false, withText = false, withoutText = false;
    for (const TView* v : sel) {
        marker = marker || v->T == vtBand;
        withText = withText || IsTextWithLines(*v);
        withoutText = withoutText || (v->T == vtText && v->M.isEmpty());
    }
    Action(QStringLiteral("pmSection"))->setVisible(marker);
    Action(QStringLiteral("pmTexts"))->setVisible(withText && withoutText);
    Action(QStringLiteral("pmLines"))->setVisible(withText && withoutText);
}

// ---------------------------------------------------------------- editors

bool TDesignForm::EditObject(TView& view)
{
    if (view.T == vtPicture) {
        if (!geditor_)
            geditor_ = new TGEditorForm(this);
        return geditor_->Edit(view);
    }
    if (!editor_)
        editor_ = new TEditorForm(this);
    return editor_->Edit(view, *doc_);
}

void TDesignForm::Options(int page)
{
    // A fresh dialog each time, centred on the designer: a kept one came
    // back where the window manager had last moved it, lower every time.
    TOptForm options(this);
    if (!options.Edit(*doc_, page))
        return;
    SetCaption();
    FillBands();
    surface_->FitToBox();
    Changed();
}

// ---------------------------------------------------------------- document

void TDesignForm::DocSave()
{
    T_RPDefDesigner& s = doc_->Designer;
    const Qt::WindowStates st = windowState();
    if (!(st & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        // The same rectangle that setGeometry takes back on the next opening.
        const QRect g = geometry();
        s.Left = g.x();
        s.Top = g.y();
        s.Height = g.height();
        s.Width = g.width();
    }
    s.WState = st & Qt::WindowMinimized ? 1 : st & (Qt::WindowMaximized | Qt::WindowFullScreen) ? 2 : 0;
    {
        WaitCursor wait;
        doc_->SaveToFile(doc_->NameSaveFile);
    }
    RefreshBars();
}

void TDesignForm::DocReload()
{
    surface_->ResetMouse(); // its copy and dragged object belong to the pages read over
    {
        WaitCursor wait;
        doc_->LoadFromFile(doc_->NameSaveFile);
    }
    if (!closing_)
        FullRefresh();
}

void TDesignForm::DocPreview()
{
    ++busy_;
    struct Done {
        TDesignForm* f;
        ~Done()
        {
            if (f->doc_) {
                f->doc_->SetRendering(false);
                f->doc_->DemoData = false;
            }
            --f->busy_;
            f->surface_->update();
        }
    } done{this};
    doc_->DemoData = true;
    doc_->Preview(true);
}

// ---------------------------------------------------------------- objects

void TDesignForm::ObjUpDown(bool up)
{
    TPage& page = *doc_->ActivePage();
    std::vector<std::unique_ptr<TView>> moved;
    for (int i = 0; i < page.ViewCount();)
        if (page.View(i)->Selected)
            moved.push_back(page.TakeView(i));
        else
            ++i;
    if (moved.empty())
        return;
    int at = up ? page.ViewCount() : 0;
    for (auto& v : moved)
        page.InsertView(at++, std::move(v));
    Changed();
}

void TDesignForm::ObjSelect()
{
    TPage& page = *doc_->ActivePage();
    const bool all = SelectedCount(page) < 2;
    for (int i = 0; i < page.ViewCount(); ++i)
        page.View(i)->Selected = all;
    surface_->update();
    RefreshBars();
}

void TDesignForm::ObjCopy()
{
    const QList<TView*> sel = Selection();
    if (sel.isEmpty())
        return;
    TDesignClipboard& c = DesignClipboard();
    c.Views.clear();
    c.Source = doc_;
    c.SourcePage = doc_->ActivePageIndex();
    for (TView* v : sel)
        c.Views.push_back(std::make_unique<TView>(*v, nullptr));
    Action(QStringLiteral("ObjPaste"))->setEnabled(true);
}

void TDesignForm::ObjCut()
{
    ObjCopy();
    surface_->DeleteSelected();
}

void TDesignForm::ObjPaste()
{
    TDesignClipboard& c = DesignClipboard();
    if (c.Views.empty())
        return;
    TPage& page = *doc_->ActivePage();
    surface_->ClearSelection();
    bool markers = false;
    for (auto& stored : c.Views) {
        if (stored->T == vtBand && PageHasMarker(page, stored->FT))
            continue; // one marker per kind, data kinds too
        stored->X += 4;
        stored->Y += 4;
        auto copy = std::make_unique<TView>(*stored, doc_);
        copy->Selected = true;
        markers = markers || copy->T == vtBand;
        page.AddView(std::move(copy));
    }
    if (markers)
        ResortViews(page);
    Changed();
}

void TDesignForm::ObjStep(int by)
{
    TPage& page = *doc_->ActivePage();
    const int n = page.ViewCount();
    if (n == 0 || SelectedCount(page) > 1)
        return;
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (page.View(i)->Selected)
            at = i;
    at = at < 0 ? (by > 0 ? 0 : n - 1) : (at + by + n) % n;
    surface_->SelectOnly(page.View(at));
    const QRect b = ShownBounds(*page.View(at));
    const QRect seen(box_->horizontalScrollBar()->value(), box_->verticalScrollBar()->value(),
        box_->viewport()->width(), box_->viewport()->height());
    const QRect inBox = b.translated(surface_->pos());
    if (!seen.adjusted(20, 20, -20, -20).contains(inBox))
        box_->ensureVisible(inBox.center().x(), inBox.center().y(), b.width() / 2 + 20, b.height() / 2 + 20);
    RefreshBars();
}

void TDesignForm::Shape(int bit, QAction* button)
{
    const bool on = button->isChecked();
    ForSelection([bit, on](TView& v) {
        if (bit == 15)
            v.FT = on ? 15 : 0;
        else
            v.FT = on ? v.FT | bit : v.FT & ~bit;
    });
}

void TDesignForm::ChooseBand(int kind)
{
    HideLists();
    TView* v = Single();
    if (!v || v->T != vtBand || kind < 0 || kind > btOverlay || kind == v->FT)
        return;
    TPage& page = *doc_->ActivePage();
    if (!IsDataBand(kind) && PageHasMarker(page, kind, v))
        return;
    v->FT = kind;
    ResortViews(page);
    Changed();
}

void TDesignForm::SelectSection()
{
    TPage& page = *doc_->ActivePage();
    for (const TView* m : Selection()) {
        if (m->T != vtBand)
            continue;
        for (int i = 0; i < page.ViewCount(); ++i) {
            TView& v = *page.View(i);
            if (m->Y <= v.Y && v.Y < m->Y + m->H - 1)
                v.Selected = true;
        }
    }
    surface_->update();
    RefreshBars();
}

void TDesignForm::NarrowSelection(bool texts)
{
    for (TView* v : Selection())
        v->Selected = texts ? IsTextWithLines(*v) : IsRectangle(*v);
    surface_->update();
    RefreshBars();
}

// ---------------------------------------------------------------- pages

void TDesignForm::PgNew()
{
    doc_->AddPage(doc_->ActivePage()->O);
    doc_->Unmodified = false;
    ShowPage(doc_->PageCount() - 1);
}

void TDesignForm::PgDel()
{
    if (doc_->PageCount() < 2)
        return;
    if (AppMessageBoxFlags(QStringLiteral("Удалить страницу.  Вы уверены?"),
            QStringLiteral("Удаление страницы документа"), MB_OKCANCEL | MB_ICONQUESTION)
        != IDOK)
        return;
    const int deleted = doc_->ActivePageIndex();
    surface_->ResetMouse();
    doc_->DeletePage(deleted);
    doc_->Unmodified = false;
    ShowPage(std::max(0, deleted - 1));
}

// ---------------------------------------------------------------- keys

bool TDesignForm::FormKeyDown(QKeyEvent* event)
{
    if (!doc_)
        return false;
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ControlModifier) {
        RunGuarded([this] { ObjCopy(); });
        return true;
    }
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ShiftModifier) {
        RunGuarded([this] { ObjPaste(); });
        return true;
    }
    QWidget* focus = focusWidget();
    const bool editing = focus && focus != surface_
        && (cbFont->isAncestorOf(focus) || cbSize->isAncestorOf(focus) || focus == cbFont || focus == cbSize
            || seFrameWidth->isAncestorOf(focus));
    if (editing && event->key() != Qt::Key_Escape)
        return false;
    bool used = false;
    RunGuarded([&] { used = surface_->HandleKeyPress(event); });
    return used;
}

void TDesignForm::keyReleaseEvent(QKeyEvent* event)
{
    if (!doc_ || !surface_->HandleKeyRelease(event))
        TForm::keyReleaseEvent(event);
}

// ---------------------------------------------------------------- factory

void InstallDesignWindow()
{
    ReportWindowFactories().Design = [](TDocument& document, bool modal) -> IReportWindow* {
        auto* form = new TDesignForm(document);
        if (!modal) {
            // Opened from a modal window (the catalogue, the document's
            // parameters) it would be blocked by it: it waits on top instead.
            if (QApplication::activeModalWidget())
                form->setWindowModality(Qt::ApplicationModal);
            form->Open();
            return form;
        }
        std::unique_ptr<TDesignForm> owned(form);
        owned->Execute();
        return nullptr;
    };
}
