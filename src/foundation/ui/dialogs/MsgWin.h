#pragma once
// The transient message window: a note shown without waiting for a limited
// time, with the seconds left in its caption, that closes and releases
// itself when its time ends.

#include "foundation/ui/base/FormBase.h"

#include <cstdint>

class QLabel;
class QTimer;

class TFormMsgWindow : public TForm {
    Q_OBJECT
public:
    explicit TFormMsgWindow(QWidget* parent = nullptr);

    // Below 2000 ms: 10000 ms without a countdown; up to 600000 ms as
    // given, with a countdown; above: 600000 ms without.
    void ShowText(const QString& text, int ms);
    // The timer's work: the countdown, and the end.
    void Timer1Timer();
    bool Countdown() const { return countdown_; }

    QWidget* pn;
    QLabel* lbMess;
    QTimer* Timer1;

private:
    void UpdateCaption();
    uint32_t end_ = 0;
    bool countdown_ = false;
};

void ShowMessageWindow(const QString& text, int ms);
void CloseMessageWindow();
// The open window, nullptr when none.
TFormMsgWindow* MessageWindow();
