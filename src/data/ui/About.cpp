#include "data/ui/About.h"

#include "data/DBSetup.h"
#include "data/Globals.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : TForm(parent, QStringLiteral("AboutBox"))
{
    setWindowTitle(QStringLiteral("О программе"));
    auto* layout = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* inner = new QVBoxLayout(panel);
    ProductName = new QLabel(AppTitle(), panel);
    ProductName->setObjectName(QStringLiteral("ProductName_HF"));
    QFont big = ProductName->font();
    big.setPointSize(14);
    big.setBold(true);
    ProductName->setFont(big);
    Version = new QLabel(QStringLiteral("Версия ") + FormatVersion(ProgramDataVersion), panel);
    Version->setObjectName(QStringLiteral("Version"));
    Copyright = new QLabel(QStringLiteral("Авторы программы Qor"), panel);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Comments = new QLabel(QStringLiteral("Расчет заработной платы предприятия"), panel);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);
    for (QLabel* label : {ProductName, Version, Copyright, Comments})
        inner->addWidget(label);
    layout->addWidget(panel);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

void ShowAboutBox(QWidget* parent)
{
    TAboutBox box(parent);
    box.ShowModal();
}
