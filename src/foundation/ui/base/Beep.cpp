#include "foundation/ui/base/Beep.h"

#include "platform/Codec.h"

#include <QApplication>
#include <QLineEdit>
#include <QValidator>

namespace {

TBeepHook& Hook()
{
    static TBeepHook hook;
    return hook;
}

class Cp1251Validator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override { return IsCp1251Text(input) ? Acceptable : Invalid; }
};

} // namespace

void MessageBeep()
{
    if (Hook())
        Hook()();
    else
        QApplication::beep();
}

TBeepHook SetBeepHook(TBeepHook hook)
{
    TBeepHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

void InstallCp1251Filter(QLineEdit* edit)
{
    edit->setValidator(new Cp1251Validator(edit));
    QObject::connect(edit, &QLineEdit::inputRejected, edit, [] { MessageBeep(); });
}
