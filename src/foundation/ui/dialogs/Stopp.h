#pragma once
// The developer's stop window: a small always-on-top window at the screen's
// top-left corner that halts the program at a DebugStop until "Cn" (go on)
// or "Ex" (end the program). Shown only when the marker file was found at
// start-up; the message service shows it for DebugStop requests.

#include "foundation/ui/base/FormBase.h"

struct MessageRequest;
class QLabel;
class QPushButton;

class TStopForm : public TForm {
    Q_OBJECT
public:
    explicit TStopForm(QWidget* parent = nullptr);

    // Shows the request's text under the name of the focused control (or
    // the request's title when none has the focus); 1 for "Cn", 2 for "Ex".
    int Execute(const MessageRequest& request);

    QWidget* pnStopp;
    QWidget* pnTitle;
    QLabel* lbTitle;
    QLabel* lbText;
    QPushButton* btCn;
    QPushButton* btEx;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void reject() override;
};

// The single stop window, created on first use.
TStopForm& StopForm();
void RemoveStopForm();
