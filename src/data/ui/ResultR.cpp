#include "data/ui/ResultR.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

TFormResultR::TFormResultR(QWidget* parent) : TForm(parent, QStringLiteral("FormResultR"))
{
    setWindowTitle(QStringLiteral("Результаты расчета за [%s]"));
    auto* layout = new QGridLayout(this);
    lbDate = new QLabel(QStringLiteral("  Дата расчета: "), this);
    lbDate->setObjectName(QStringLiteral("lbDate"));
    layout->addWidget(lbDate, 0, 0, 1, 2);
    auto makeList = [this](const QString& name) {
        auto* list = new QTreeWidget(this);
        list->setObjectName(name);
        list->setRootIsDecorated(false);
        list->setHeaderLabels({QStringLiteral("Код"), QStringLiteral("Наименование"), QStringLiteral("Сумма")});
        return list;
    };
    lvNach = makeList(QStringLiteral("lvNach"));
    lvUder = makeList(QStringLiteral("lvUder"));
    layout->addWidget(lvNach, 1, 0);
    layout->addWidget(lvUder, 1, 1);
    const char* totals[] = {"ВСЕГО начислено", "ВСЕГО удержано", "К ВЫДАЧЕ :"};
    int row = 2;
    for (const char* text : totals) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setObjectName(QStringLiteral("lbTotal%1").arg(row - 1));
        layout->addWidget(label, row++, 0, 1, 2);
    }
    layout->addWidget(new QPushButton(QStringLiteral("Добавить"), this), row, 0);
    layout->addWidget(new QPushButton(QStringLiteral("Рассчитать"), this), row, 1);
    resize(640, 420);
}
