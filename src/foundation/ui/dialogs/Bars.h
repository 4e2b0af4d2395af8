#pragma once
// The progress window of long operations: one or two bars with a text line
// above each and the "Стоп" button. It is the program's progress sink.
//
// While it runs it is application-modal: the clerk can press "Стоп" but
// cannot start a second operation or edit a table in another window. Bars
// move in coarse steps (at most 29 moves per range), so an operation may
// report every record.

#include "foundation/Progress.h"
#include "foundation/ui/base/FormBase.h"

#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

class TFormBar : public TForm, public IProgress {
    Q_OBJECT
public:
    explicit TFormBar(QWidget* parent = nullptr);
    ~TFormBar() override;

    // Mode 0 starts the window over Owner (the active window when nullptr).
    void Init(int Mode, int Min1, int Max1, int Min2, int Max2, QWidget* Owner);
    void Init(int Mode, int Min1, int Max1, int Min2 = 0, int Max2 = 0) override;
    void PosBar(int Bar, int Value) override;
    void IncPos(int Bar) override;
    void Mess(int Line, const QString& Text) override;
    void FillBar(int Bar) override;
    void Wait(int Ms) override;
    bool Stopped() const override { return stopped_; }
    // Also enables both bars with the flag: the file copier reads an
    // enabled bar as its stop request.
    void SetStopped(bool Flag) override;
    bool Active() const override { return shown_ || owner_; }
    void Close() override;
    // The application's wait cursor.
    void BeginBusy() override;
    void EndBusy() override;

    // Range Min..Max, position Min, step (Max - Min) div 29 + 1.
    void setMinMax(QProgressBar* Bar, int Min, int Max);
    int BarCount() const { return twoBars_ ? 2 : 1; }
    QWidget* Owner() const { return owner_; }

    QWidget* Panel1;
    QLabel* M1;
    QProgressBar* Bar1;
    QLabel* M2;
    QProgressBar* Bar2;
    QPushButton* bt1;

protected:
    bool event(QEvent* event) override;
    void reject() override;

private:
    struct BarState {
        int min = 0;
        int max = 0;
        int value = -1; // the current value
        int lower = 0; // the step window
        int upper = 0;
        int step = 1;
    };
    BarState& State(QProgressBar* bar) { return bar == Bar1 ? state_[0] : state_[1]; }
    void Move(int index, int value);
    void BringToFront();
    void FitHeight();
    void StopClick();

    BarState state_[2];
    bool twoBars_ = false;
    bool shown_ = false;
    bool stopped_ = false;
    bool ownerWasActive_ = false;
    QPointer<QWidget> owner_;
};

// The shared progress window, made the program's progress sink. Start-up
// calls InstallProgressWindow; RemoveProgressWindow before the application
// object goes.
void InstallProgressWindow();
void RemoveProgressWindow();
TFormBar* FormBar();
