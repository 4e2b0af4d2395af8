#include "desk/MainOpeners.h"

#include <QHash>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QHash<QString, TMenuOpener>& Openers()
{
    static QHash<QString, TMenuOpener> openers;
    return openers;
}

TCardPageFactory& CardFactory()
{
    static TCardPageFactory factory;
    return factory;
}

TDopPicker& Picker()
{
    static TDopPicker picker;
    return picker;
}

TFormulaEditorOpener& FormulaOpener()
{
    static TFormulaEditorOpener opener;
    return opener;
}

TNewTabnWizard& Wizard()
{
    static TNewTabnWizard wizard;
    return wizard;
}

// Stands in for the card until the card window registers its factory.
class PlaceholderCardPage : public TCardPage {
public:
    explicit PlaceholderCardPage(QWidget* parent) : page_(new QWidget(parent)), label_(new QLabel(page_))
    {
        page_->setObjectName(QStringLiteral("FormTabnCard"));
        auto* layout = new QVBoxLayout(page_);
        layout->addWidget(label_);
        layout->addStretch();
    }
    QWidget* Widget() override { return page_; }
    void ShowTabn(qint32 tabNum, bool) override
    {
        label_->setText(tabNum > 0 ? QStringLiteral("Табельный номер %1").arg(tabNum) : QString());
    }

private:
    QWidget* page_;
    QLabel* label_;
};

} // namespace

void RegisterMenuOpener(const QString& item, TMenuOpener opener) { Openers().insert(item, std::move(opener)); }
void UnregisterMenuOpener(const QString& item) { Openers().remove(item); }
bool HasMenuOpener(const QString& item) { return Openers().contains(item); }

bool RunMenuOpener(const QString& item, TFormMain& main)
{
    const auto it = Openers().constFind(item);
    if (it == Openers().constEnd() || !*it)
        return false;
    TMenuOpener opener = *it; // the opener may unregister itself
    opener(main);
    return true;
}

void SetCardPageFactory(TCardPageFactory factory) { CardFactory() = std::move(factory); }

TCardPage* CreateCardPage(QWidget* parent)
{
    if (CardFactory())
        return CardFactory()(parent);
    return new PlaceholderCardPage(parent);
}

void SetDopPicker(TDopPicker picker) { Picker() = std::move(picker); }
const TDopPicker& DopPicker() { return Picker(); }
void SetFormulaEditorOpener(TFormulaEditorOpener opener) { FormulaOpener() = std::move(opener); }
const TFormulaEditorOpener& FormulaEditorOpener() { return FormulaOpener(); }
void SetNewTabnWizard(TNewTabnWizard wizard) { Wizard() = std::move(wizard); }
const TNewTabnWizard& NewTabnWizard() { return Wizard(); }
