#include "data/ui/FormRegistry.h"

#include "foundation/ui/base/FormBase.h"

#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QVBoxLayout>

namespace {

QHash<QString, TFormFactory>& Factories()
{
    static QHash<QString, TFormFactory> factories;
    return factories;
}

QList<QPointer<QWidget>>& Made()
{
    static QList<QPointer<QWidget>> forms;
    return forms;
}

const char* const kPlaceholder = "qorPlaceholder";

QWidget* MakePlaceholder(const QString& name)
{
    auto* label = new QLabel(name);
    label->setAlignment(Qt::AlignCenter);
    QWidget* form = nullptr;
    if (name == QLatin1String("FormMain")) {
        auto* window = new QMainWindow();
        window->setObjectName(name);
        window->setCentralWidget(label);
        window->resize(900, 600);
        form = window;
    } else {
        auto* dialog = new TForm(nullptr, name);
        auto* layout = new QVBoxLayout(dialog);
        layout->addWidget(label);
        form = dialog;
    }
    form->setWindowTitle(name);
    form->setProperty(kPlaceholder, true);
    return form;
}

} // namespace

const QStringList& StartupFormNames()
{
    static const QStringList names = {
        QStringLiteral("FormMain"),
        QStringLiteral("FormConfig"),
        QStringLiteral("FormOtl"),
        QStringLiteral("FormPodr"),
        QStringLiteral("FormNewEmploy"),
        QStringLiteral("FormSrSelect"),
        QStringLiteral("FormSprStaff"),
        QStringLiteral("FormSprPost"),
        QStringLiteral("FormSprCtgr"),
        QStringLiteral("FormSprPx"),
        QStringLiteral("FormSprDop"),
        QStringLiteral("FormDpSelect"),
        QStringLiteral("FormNewDopl"),
        QStringLiteral("FormSprUser"),
        QStringLiteral("FormTbSelect"),
        QStringLiteral("FormInSrDop"),
        QStringLiteral("FormSprClndr"),
        QStringLiteral("FormInVvod"),
        QStringLiteral("FormNewCndrT"),
        QStringLiteral("FormNewCndrP"),
        QStringLiteral("FormResultR"),
        QStringLiteral("FormFastRep"),
        QStringLiteral("FormReports"),
        QStringLiteral("FormCalcPrem"),
        QStringLiteral("FormVedTune"),
        QStringLiteral("FormDocEdit"),
        QStringLiteral("FormLabel"),
    };
    return names;
}

void RegisterForm(const QString& name, TFormFactory factory) { Factories().insert(name, std::move(factory)); }
void UnregisterForm(const QString& name) { Factories().remove(name); }
bool IsFormRegistered(const QString& name) { return Factories().contains(name); }

QWidget* CreateProgramForm(const QString& name)
{
    const auto it = Factories().constFind(name);
    QWidget* form = it != Factories().constEnd() && *it ? (*it)() : MakePlaceholder(name);
    if (form->objectName().isEmpty())
        form->setObjectName(name);
    AddProgramForm(form);
    return form;
}

void AddProgramForm(QWidget* form)
{
    if (form && !Made().contains(form))
        Made().append(form);
}

bool IsPlaceholderForm(const QWidget* form) { return form && form->property(kPlaceholder).toBool(); }

QList<QWidget*> ProgramForms()
{
    QList<QWidget*> out;
    for (const QPointer<QWidget>& form : Made())
        if (form)
            out.append(form.data());
    return out;
}

QWidget* FindProgramForm(const QString& name)
{
    for (QWidget* form : ProgramForms())
        if (form->objectName() == name)
            return form;
    return nullptr;
}

QMainWindow* MainForm() { return qobject_cast<QMainWindow*>(FindProgramForm(QStringLiteral("FormMain"))); }

void DestroyProgramForms()
{
    while (!Made().isEmpty()) {
        QPointer<QWidget> form = Made().takeLast();
        delete form.data();
    }
}
