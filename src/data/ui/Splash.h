#pragma once
// The start-up splash with its status line. While it exists it is the data
// module's splash-text hook (SetSplashText, data/DatModl.h).

#include "foundation/ui/base/FormBase.h"

class QLabel;

class TFormLabel : public TForm {
    Q_OBJECT
public:
    explicit TFormLabel(QWidget* parent = nullptr);
    ~TFormLabel() override;

    // Shows the text in the status line and lets window messages through.
    void SetStatus(const QString& text);
    QString Status() const;

    QLabel* lbTitle;
    QLabel* lbStatus;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QMargins margins_; // kept at creation: the client area is the labels plus these
};

// The one splash instance while it lives, or nullptr.
TFormLabel* SplashForm();
// Creates the splash (once), shows it with "Старт программы" and paints it.
TFormLabel* ShowSplash();
// Releases the splash.
void ReleaseSplash();
