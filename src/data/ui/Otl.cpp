#include "data/ui/Otl.h"

#include "data/AppContext.h"
#include "data/Tabn.h"
#include "foundation/ui/base/FormFuncs.h"

#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

TFormOtl::TFormOtl(QWidget* parent) : TForm(parent, QStringLiteral("FormOtl"))
{
    setWindowTitle(QStringLiteral("Отладочная форма"));
    auto* layout = new QGridLayout(this);
    auto* menu = new QMenuBar(this);
    menu->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Save"));
    menu->addMenu(QStringLiteral("Else"));
    AssignMnemonics(menu->actions());
    layout->setMenuBar(menu);
    Button1 = new QPushButton(QStringLiteral("Сотрудник"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    layout->addWidget(Button1, 0, 0);
    // Controls the form had that do nothing.
    int column = 1;
    for (const char* caption : {"Временное хранение", "Sklad", "Do It"})
        layout->addWidget(new QPushButton(QString::fromUtf8(caption), this), 0, column++);
    for (int i = 0; i < int(Labels.size()); ++i) {
        Labels[i] = new QLabel(this);
        Labels[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        layout->addWidget(Labels[i], i + 1, 0, 1, 4);
    }
    resize(420, 240);
    connect(Button1, &QPushButton::clicked, this, guarded([this] {
        const auto& current = DataHooks().TNPosition;
        ShowEmployee(current ? current() : AppContext().LastTabNum);
    }));
}

void TFormOtl::ShowEmployee(qint32 tabNum)
{
    for (QLabel* label : Labels)
        label->clear();
    bool found = false;
    const std::unique_ptr<T_Tabn> card = T_Tabn::CreateByTabNum(tabNum, found);
    if (!found || !card)
        return;
    Labels[0]->setText(card->GetFio());
    for (int part = 0; part <= 4; ++part)
        Labels[part + 1]->setText(card->GetFioPart(part));
}
