#pragma once
// The debug form ("Отладочная форма"): its button shows the main window's
// current employee by name and by the five name variants.

#include "foundation/ui/base/FormBase.h"

#include <array>

class QLabel;
class QPushButton;

class TFormOtl : public TForm {
    Q_OBJECT
public:
    explicit TFormOtl(QWidget* parent = nullptr);

    // The card of that personnel number into the six labels; a number
    // without a card leaves them empty.
    void ShowEmployee(qint32 tabNum);

    QPushButton* Button1;
    std::array<QLabel*, 6> Labels; // GetFio, then GetFioPart 0..4
};
