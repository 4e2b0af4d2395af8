#include "foundation/ui/dialogs/WMsgs.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/controls/ShadowLabel.h"
#include "foundation/ui/dialogs/GetMean.h"
#include "foundation/ui/dialogs/Stopp.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <functional>

namespace {

// Raises the box, activates it and focuses the button Focused names; again
// once the events in hand are done: raised from a focus change (a card
// leaving its edit mode), the box would be left without the activation once
// that change ends.
void TakeFocus(QWidget* box, const std::function<QPushButton*()>& focused)
{
    const auto take = [box, focused] {
        box->raise();
        box->activateWindow();
        if (QPushButton* b = focused())
            b->setFocus(Qt::ActiveWindowFocusReason);
    };
    take();
    QTimer::singleShot(0, box, [box, take] {
        if (box->isVisible())
            take();
    });
}

constexpr int kMinWidth = 400 - 16;
constexpr int kMinHeight = 220 - 16;
constexpr int kMargin = 12;
constexpr int kButtonGap = 16;
constexpr int kButtonHeight = 28;

const QColor kMaroon(0x80, 0, 0);
const QColor kNavy(0, 0, 0x80);
const QColor kTeal(0, 0x80, 0x80);
const QColor kAqua(0, 0xFF, 0xFF);

QString DisplayText(QString s) { return s.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

int WidestLine(const QString& text, const QFont& font)
{
    const QFontMetrics fm(font);
    int w = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        w = std::max(w, fm.horizontalAdvance(line));
    return w;
}

// A word wider than the room would push the text out of sight (a label
// never breaks a word): it gets invisible break points (U+200B) where a
// piece reaches the room's width.
QString BreakLongWords(const QString& text, const QFont& font, int room)
{
    if (room <= 0 || WidestLine(text, font) <= room)
        return text;
    // Fractional advances: rounded ones add up to more than a pixel a word.
    const QFontMetricsF fm(font);
    QString out;
    out.reserve(text.size() + text.size() / 16);
    qreal piece = 0;
    for (const QChar c : text) {
        if (c.isSpace()) {
            piece = 0;
            out += c;
            continue;
        }
        const qreal w = fm.horizontalAdvance(c);
        if (piece > 0 && piece + w > room) {
            out += QChar(0x200B);
            piece = 0;
        }
        piece += w;
        out += c;
    }
    return out;
}

QLabel* MakeTextLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void SetTextColour(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    w->setPalette(pal);
}

} // namespace

TFormMessage::TFormMessage(QWidget* parent) : TForm(parent, QStringLiteral("FormMessage"))
{
    SetKeyPreview(true);
    SetRefuseSystemClose(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pnHeader = new QWidget(this);
    pnHeader->setObjectName(QStringLiteral("pnHeader"));
    pnHeader->setAutoFillBackground(true);
    pnHeader->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* headerBox = new QHBoxLayout(pnHeader);
    headerBox->setContentsMargins(kMargin, 6, kMargin, 6);
    lbHeader = new Tyq_ShadowLabel(pnHeader);
    lbHeader->setObjectName(QStringLiteral("lbHeader"));
    lbHeader->SetAlignment(taCenter);
    lbHeader->SetLayout(tlCenter);
    lbHeader->SetTextStyle(tsShadow);
    lbHeader->SetShadowDepth(2);
    lbHeader->SetTransparent(true);
    lbHeader->SetShowAccelChar(false);
    QFont headerFont = lbHeader->font();
    headerFont.setBold(true);
    headerFont.setPointSizeF(headerFont.pointSizeF() * 1.4);
    lbHeader->setFont(headerFont);
    headerBox->addWidget(lbHeader);
    layout->addWidget(pnHeader);

    sb = new QScrollArea(this);
    sb->setObjectName(QStringLiteral("sb"));
    sb->setFrameShape(QFrame::NoFrame);
    sb->setWidgetResizable(true);
    sb->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* texts = new QWidget;
    auto* textBox = new QVBoxLayout(texts);
    textBox->setContentsMargins(kMargin, kMargin, kMargin, 6);
    textBox->setSpacing(8);
    lbWarnInform = MakeTextLabel(texts, "lbWarnInform");
    QFont titleFont = lbWarnInform->font();
    titleFont.setBold(true);
    lbWarnInform->setFont(titleFont);
    lbWarnInform->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    textBox->addWidget(lbWarnInform);
    btCancelApp = new QToolButton(texts);
    btCancelApp->setObjectName(QStringLiteral("btCancelApp"));
    // Says what it does: a bare "X" read as closing the box.
    btCancelApp->setText(QStringLiteral("Прекратить работу программы"));
    btCancelApp->setToolTip(QStringLiteral("Прекратить работу программы"));
    btCancelApp->setFocusPolicy(Qt::NoFocus);
    lbWarn = MakeTextLabel(texts, "lbWarn");
    lbWarn->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    textBox->addWidget(lbWarn);
    textBox->addStretch(1);
    bv = new QFrame(texts);
    bv->setObjectName(QStringLiteral("bv"));
    bv->setFrameShape(QFrame::HLine);
    bv->setFrameShadow(QFrame::Sunken);
    textBox->addWidget(bv);
    textBox->addWidget(btCancelApp, 0, Qt::AlignRight);
    sb->setWidget(texts);
    layout->addWidget(sb, 1);

    pnButton = new QScrollArea(this);
    pnButton->setObjectName(QStringLiteral("pnButton"));
    pnButton->setFrameShape(QFrame::NoFrame);
    pnButton->setWidgetResizable(true);
    pnButton->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    buttonBox_ = new QWidget;
    pnButton->setWidget(buttonBox_);
    layout->addWidget(pnButton);

    btOk = new QPushButton(QStringLiteral("Ok"), buttonBox_);
    btOk->setObjectName(QStringLiteral("btOk"));
    btCancel = new QPushButton(QStringLiteral("Отмена"), buttonBox_);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    connect(btOk, &QPushButton::clicked, this, guarded([this] { ButtonClick(msgOk); }));
    connect(btCancel, &QPushButton::clicked, this, guarded([this] { ButtonClick(msgCancel); }));
    connect(btCancelApp, &QToolButton::clicked, this, guarded([this] { CancelAppClick(); }));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3000);
    connect(Timer1, &QTimer::timeout, this, guarded([this] { TimerTick(); }));

    Reset();
}

void TFormMessage::Reset()
{
    result_ = -1;
    style_ = 0;
    escAnswer_ = 1;
    focusedResult_ = 0;
    halt_ = false;
    qDeleteAll(custom_);
    custom_.clear();
    setWindowTitle(QStringLiteral("Сообщение"));
    SetTexts(QString(), QString());
    SetStyle(0);
}

void TFormMessage::SetStyle(int style)
{
    if (style != 0 && style == style_)
        return;
    if (isVisible())
        SetModalResult(mrCancel);
    ApplyStyle(NormalizeMessageStyle(style));
}

void TFormMessage::ApplyStyle(int normalizedStyle)
{
    style_ = normalizedStyle;
    lbHeader->setText(MessageStyleHeader(style_));
    if (style_ & msError) {
        headerBack_ = Qt::red;
        headerText_ = Qt::yellow;
        headerShadow_ = kMaroon;
        titleText_ = kNavy;
    } else if (style_ & (msWarning | msChoice)) {
        headerBack_ = kTeal;
        headerText_ = kAqua;
        headerShadow_ = Qt::black;
        titleText_ = kNavy;
    } else {
        const QPalette pal = QApplication::palette();
        headerBack_ = pal.color(QPalette::Button);
        headerText_ = pal.color(QPalette::HighlightedText);
        headerShadow_ = pal.color(QPalette::PlaceholderText);
        titleText_ = pal.color(QPalette::WindowText);
    }
    btCancelApp->setVisible(style_ & msError);
    // The standard buttons of the style: Yes sits in OK's place, No in Cancel's.
    btOk->setText((style_ & msYes) ? QStringLiteral("Да") : QStringLiteral("Ok"));
    btCancel->setText((style_ & msNo) ? QStringLiteral("Нет") : QStringLiteral("Отменить"));
    ApplyColours();
}

void TFormMessage::SetButtons(const QList<MsgButton>& buttons)
{
    qDeleteAll(custom_);
    custom_.clear();
    for (const MsgButton& b : buttons) {
        auto* button = new QPushButton(b.caption, buttonBox_);
        button->setObjectName(QStringLiteral("bt%1").arg(b.result));
        const int result = b.result;
        connect(button, &QPushButton::clicked, this, guarded([this, result] { ButtonClick(result); }));
        custom_.append(button);
    }
}

void TFormMessage::SetHeader(const QString& header) { lbHeader->setText(header); }

void TFormMessage::SetTexts(const QString& title, const QString& details)
{
    title_ = DisplayText(title);
    details_ = DisplayText(details);
    lbWarnInform->setText(title_);
    lbWarn->setText(details_);
}

void TFormMessage::ApplyColours()
{
    QPalette pal = pnHeader->palette();
    pal.setColor(QPalette::Window, headerBack_);
    pnHeader->setPalette(pal);
    SetTextColour(lbHeader, headerText_);
    lbHeader->SetShadowColor(headerShadow_);
    SetTextColour(lbWarnInform, titleText_);
}

int TFormMessage::Execute(const MessageRequest& request)
{
    Reset();
    if (request.customButtons)
        SetButtons(request.buttons);
    // The request's style is normalised already (normalising twice would
    // turn Yes and No into Yes alone).
    ApplyStyle(request.style);
    SetEscAnswer(request.escAnswer);
    SetFocusedResult(request.defaultButton);
    SetTexts(request.title, request.details);
    if (!request.caption.isNull())
        setWindowTitle(request.caption);
    if (!request.header.isNull())
        SetHeader(request.header);
    ShowModal();
    return result_;
}

QPushButton* TFormMessage::FocusButton() const
{
    if (!custom_.isEmpty()) {
        int k = focusedResult_ > 0 ? focusedResult_ : escAnswer_;
        if (k < 1 || k > custom_.size())
            k = 1;
        return custom_[k - 1];
    }
    const bool both = (style_ & (msOk | msYes)) && (style_ & (msCancel | msNo));
    if (!(style_ & (msOk | msYes)))
        return btCancel;
    if (both && (focusedResult_ == msgCancel || (focusedResult_ == 0 && escAnswer_ == msgCancel)))
        return btCancel;
    return btOk;
}

void TFormMessage::Arrange()
{
    const bool standard = custom_.isEmpty();
    btOk->setVisible(standard && (style_ & (msOk | msYes)));
    btCancel->setVisible(standard && (style_ & (msCancel | msNo)));
    lbWarnInform->setVisible(!lbWarnInform->text().isEmpty());

    QList<QPushButton*> buttons;
    if (standard) {
        if (btOk->isVisibleTo(this))
            buttons.append(btOk);
        if (btCancel->isVisibleTo(this))
            buttons.append(btCancel);
    } else {
        buttons = custom_;
    }

    const QFontMetrics fm(font());
    QList<int> widths;
    int rowWidth = 0;
    int widest = 0;
    for (QPushButton* b : buttons) {
        const int w = standard ? 90 : std::max(75, fm.horizontalAdvance(b->text()) + 24);
        widths.append(w);
        rowWidth += w;
        widest = std::max(widest, w);
    }
    rowWidth += kButtonGap * std::max<int>(0, buttons.size() - 1) + 2 * kMargin;

    // Bounds of the client area: at least 400 x 220 less the margin, at most
    // 9/10 of the screen less the frame and the margin.
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize frame = isVisible() ? frameGeometry().size() - geometry().size() : QSize(0, 0);
    const int maxWidth = std::max(kMinWidth, area.width() * 9 / 10 - frame.width() - 16);
    const int maxHeight = std::max(kMinHeight, area.height() * 9 / 10 - frame.height() - 16);

    const int scrollBar = sb->verticalScrollBar()->sizeHint().width();
    const int textWidth = std::max({WidestLine(title_, lbWarnInform->font()) + 2 * 18,
                              WidestLine(details_, lbWarn->font()), lbHeader->sizeHint().width()})
        + 2 * kMargin + scrollBar;
    const int width = std::clamp(std::max({textWidth, rowWidth, CaptionWidth(this)}), kMinWidth, maxWidth);
    column_ = !standard && rowWidth > width;
    // The texts wrap within the width; only the height scrolls.
    const int room = width - 2 * kMargin - scrollBar;
    lbWarnInform->setText(BreakLongWords(title_, lbWarnInform->font(), room - 2 * 18));
    lbWarn->setText(BreakLongWords(details_, lbWarn->font(), room));

    // Lay the buttons out anew: centred in a row, or a column of equal width.
    delete buttonBox_->layout();
    if (column_) {
        auto* box = new QVBoxLayout(buttonBox_);
        box->setContentsMargins(kMargin, 8, kMargin, kMargin);
        box->setSpacing(6);
        const int w = std::min(widest, width - 2 * kMargin - scrollBar);
        for (QPushButton* b : buttons) {
            b->setFixedSize(w, kButtonHeight);
            box->addWidget(b, 0, Qt::AlignHCenter);
        }
    } else {
        auto* box = new QHBoxLayout(buttonBox_);
        box->setContentsMargins(kMargin, 8, kMargin, kMargin);
        box->setSpacing(kButtonGap);
        box->addStretch(1);
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            buttons[i]->setFixedSize(widths[i], kButtonHeight);
            box->addWidget(buttons[i]);
        }
        box->addStretch(1);
    }
    buttonBox_->layout()->activate();

    const int headerHeight = pnHeader->sizeHint().height();
    QWidget* texts = sb->widget();
    texts->layout()->activate();
    const int textHeight = texts->layout()->hasHeightForWidth() ? texts->layout()->totalHeightForWidth(width)
                                                                : texts->sizeHint().height();
    const int buttonHeight = buttonBox_->sizeHint().height();
    int height = headerHeight + textHeight + buttonHeight;
    int buttonArea = buttonHeight;
    if (height > maxHeight) {
        // Too high for the screen: both areas scroll, the buttons taking at
        // most half of what the header leaves.
        const int room = maxHeight - headerHeight;
        buttonArea = std::min(buttonHeight, std::max(room / 2, room - textHeight));
        height = maxHeight;
    }
    height = std::max(height, kMinHeight);
    pnButton->setFixedHeight(buttonArea);
    pnButton->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFixedSize(width, height);
    CenterOnScreen();
}

bool TFormMessage::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        return true;
    }
    return false;
}

void TFormMessage::reject()
{
    result_ = escAnswer_;
    SetModalResult(mrAbort);
}

void TFormMessage::ButtonClick(int result)
{
    result_ = result;
    SetModalResult(result == msgCancel && custom_.isEmpty() ? mrCancel : mrOk);
}

void TFormMessage::CancelAppClick()
{
    if (!AskAttention(QStringLiteral("Вы действительно хотите прекратить работу программы ?"), false))
        return;
    halt_ = true;
    SetApplicationTerminating(true);
    SetModalResult(mrAbort);
}

void TFormMessage::TimerTick()
{
    if (isActiveWindow())
        return;
    if (isVisible()) {
        // Back to the front: a message must not hide behind another window.
        raise();
        activateWindow();
        QCoreApplication::processEvents();
    } else {
        Timer1->stop();
        SetModalResult(mrCancel);
    }
}

void TFormMessage::showEvent(QShowEvent* event)
{
    Arrange();
    TForm::showEvent(event);
    ApplyColours();
    TakeFocus(this, [this] {
        QPushButton* b = FocusButton();
        if (b)
            b->setDefault(true);
        return b;
    });
    Timer1->start();
}

void TFormMessage::hideEvent(QHideEvent* event)
{
    Timer1->stop();
    TForm::hideEvent(event);
}

// ---------------------------------------------------------------- the service

namespace {

QMessageBox::Icon IconOf(int flags)
{
    switch (flags & 0xF0) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// Takes the activation and its default button's focus as the own box does.
class TStandardBox final : public QMessageBox {
protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        TakeFocus(this, [this] { return defaultButton(); });
    }
};

int ShowStandardBox(const MessageRequest& request)
{
    TStandardBox box;
    box.setObjectName(QStringLiteral("StandardBox"));
    box.setWindowTitle(request.caption);
    box.setText(request.details);
    box.setTextFormat(Qt::PlainText);
    box.setIcon(IconOf(request.style));
    QList<QPair<QAbstractButton*, int>> map;
    for (const MsgButton& b : request.buttons) {
        QPushButton* button = box.addButton(b.caption, QMessageBox::ActionRole);
        button->setObjectName(QStringLiteral("bt%1").arg(b.result));
        map.append({button, b.result});
        if (b.result == request.escAnswer)
            box.setEscapeButton(button);
        if (b.result == request.defaultButton)
            box.setDefaultButton(button);
    }
    // Wide enough for the window manager to show the caption whole: Qt
    // allows for its own title font only.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int margins = grid->contentsMargins().left() + grid->contentsMargins().right();
        grid->addItem(new QSpacerItem(CaptionWidth(&box) - margins, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
    RunModal(box);
    for (const auto& [button, result] : map)
        if (box.clickedButton() == button)
            return result;
    return request.escAnswer;
}

class TMessageWindows final : public IMessageService {
public:
    int Show(const MessageRequest& request) override
    {
        switch (request.kind) {
        case MsgKind::Attention:
        case MsgKind::StandardBox: return ShowStandardBox(request);
        case MsgKind::DebugStop: return StopForm().Execute(request);
        default: break;
        }
        TFormMessage box;
        const int result = box.Execute(request);
        if (box.HaltRequested()) {
            // Ends the program: main does the least cleanup. Inside an
            // unwinding the exception cannot travel, so only the loops end.
            if (std::uncaught_exceptions() == 0)
                throw ProgramExit(0);
            QCoreApplication::exit(0);
        }
        return result;
    }

    bool Input(const MessageRequest& request, Variant& value) override
    {
        TFormGet box;
        return box.Execute(request, value);
    }
};

TMessageWindows g_windows;

} // namespace

IMessageService& MessageWindows() { return g_windows; }

void InstallMessageWindows() { SetMessageService(&g_windows); }

void RemoveMessageWindows()
{
    if (&MessageService() == &g_windows)
        SetMessageService(nullptr);
    RemoveStopForm();
}
