#include "data/ui/FormsVw.h"

#include "data/ui/FormPlacement.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPointer<TFormFormsVw> g_list;

// The windows in the order they were last active, the latest first: the
// order F6 and Ctrl+F6 walk, as the screen's form list was ordered.
class ActivationOrder final : public QObject {
public:
    static ActivationOrder& Instance()
    {
        static ActivationOrder* order = [] {
            auto* o = new ActivationOrder(qApp);
            qApp->installEventFilter(o);
            return o;
        }();
        return *order;
    }
    // The rank of a window: 0 the latest, windows never active after all.
    qsizetype Rank(QWidget* w) const
    {
        for (qsizetype i = 0; i < order_.size(); ++i)
            if (order_[i] == w)
                return i;
        return order_.size();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow()) {
                order_.removeIf([w](const QPointer<QWidget>& p) { return !p || p == w; });
                order_.prepend(w);
            }
        }
        return false;
    }

private:
    using QObject::QObject;
    QList<QPointer<QWidget>> order_;
};

void Activate(QWidget* form)
{
    if (form->isMinimized())
        form->showNormal();
    form->raise();
    form->activateWindow();
}

} // namespace

TFormFormsVw::TFormFormsVw(QWidget* parent) : TForm(parent, QStringLiteral("FormFormsVw"))
{
    setWindowTitle(QStringLiteral("Список активных окон"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    List = new QListWidget(this);
    List->setObjectName(QStringLiteral("List"));
    layout->addWidget(List);
    auto* buttons = new QHBoxLayout();
    btOk = new QPushButton(QStringLiteral("  Ok  "), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btRefresh = new QPushButton(QStringLiteral("Обновить"), this);
    btRefresh->setObjectName(QStringLiteral("btRefresh"));
    for (QPushButton* b : {btOk, btCancel, btRefresh})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    resize(320, 260);
    connect(btOk, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(btCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(btRefresh, &QPushButton::clicked, this, [this] { Fill(); });
    connect(List, &QListWidget::itemActivated, this, [this] { done(mrOk); });
}

void TFormFormsVw::Fill()
{
    List->clear();
    forms_.clear();
    first_ = nullptr;
    for (QWidget* form : ScreenForms()) {
        if (form == this)
            continue;
        const QString caption = form->windowTitle().trimmed().isEmpty() ? form->objectName() : form->windowTitle();
        new QListWidgetItem(caption, List);
        forms_ << form;
        connect(form, &QObject::destroyed, this, &TFormFormsVw::FormFreed, Qt::UniqueConnection);
        if (!first_)
            first_ = form;
    }
    if (List->count() > 0)
        List->setCurrentRow(0);
}

QWidget* TFormFormsVw::SelectedForm() const
{
    const int row = List->currentRow();
    return row >= 0 && row < forms_.size() ? forms_[row].data() : nullptr;
}

void TFormFormsVw::FormFreed(QObject* form)
{
    // Only compared: the window is half gone, and its guard may be empty.
    for (qsizetype row = forms_.size() - 1; row >= 0; --row)
        if (!forms_[row] || forms_[row].data() == form) {
            forms_.removeAt(row);
            delete List->takeItem(int(row));
        }
}

void TFormFormsVw::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    RestoreFormPosition(this);
    Fill();
    List->setFocus();
}

void TFormFormsVw::done(int result)
{
    if (closing_)
        return;
    closing_ = true;
    QPointer<QWidget> chosen = result == mrOk ? SelectedForm() : nullptr;
    SaveFormPosition(this);
    TForm::done(result);
    close(); // freed later, so the chosen form is activated after the list went
    if (chosen)
        Activate(chosen);
}

void TFormFormsVw::changeEvent(QEvent* event)
{
    TForm::changeEvent(event);
    // Losing the focus closes the list.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible() && !closing_)
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!isActiveWindow())
                    done(mrCancel);
            },
            Qt::QueuedConnection);
}

void TrackWindowActivation() { ActivationOrder::Instance(); }

QList<QWidget*> ScreenForms()
{
    QList<QWidget*> forms;
    QWidget* active = QApplication::activeWindow();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != active && w->isVisible() && w->windowType() != Qt::SplashScreen && w->isWindow()
            && !qobject_cast<QMenu*>(w))
            forms.append(w);
    const ActivationOrder& order = ActivationOrder::Instance();
    std::stable_sort(forms.begin(), forms.end(), [&](QWidget* a, QWidget* b) { return order.Rank(a) < order.Rank(b); });
    if (active && active->isVisible())
        forms.prepend(active);
    return forms;
}

TFormFormsVw* ShowFormsList()
{
    if (g_list) {
        if (g_list->isMinimized())
            g_list->showNormal();
        g_list->Fill();
    } else {
        g_list = new TFormFormsVw();
        g_list->show();
    }
    g_list->raise();
    g_list->activateWindow();
    return g_list.data();
}

void ActivateOldestWindow()
{
    const QList<QWidget*> forms = ScreenForms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        if ((*it)->isVisible()) {
            Activate(*it);
            return;
        }
}

void ActivatePreviousWindow()
{
    const QList<QWidget*> forms = ScreenForms();
    for (int i = 1; i < forms.size(); ++i)
        if (forms[i]->isEnabled() && !qobject_cast<TFormFormsVw*>(forms[i])) {
            Activate(forms[i]);
            return;
        }
}
