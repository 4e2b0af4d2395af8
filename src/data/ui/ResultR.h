#pragma once
// A results form laid out like the main window's results page. It is made
// at start-up and nothing shows it; its handlers do nothing.

#include "foundation/ui/base/FormBase.h"

class QLabel;
class QTreeWidget;

class TFormResultR : public TForm {
    Q_OBJECT
public:
    explicit TFormResultR(QWidget* parent = nullptr);

    QTreeWidget* lvNach; // accruals
    QTreeWidget* lvUder; // deductions
    QLabel* lbDate;
};
