#pragma once
// The about box: the product, its author and the version.

#include "foundation/ui/base/FormBase.h"

class QLabel;

class TAboutBox : public TForm {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* ProductName;
    QLabel* Version; // "Версия " and the program's data version
    QLabel* Copyright;
    QLabel* Comments;
};

// Shows the box modally; it is freed on close.
void ShowAboutBox(QWidget* parent = nullptr);
