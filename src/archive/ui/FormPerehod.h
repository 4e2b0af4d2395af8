#pragma once
// The window of the month's close: the header names the new month, Ok runs
// the transition, and once it has run the program must be restarted, so
// the window then offers only to end it.
//
//   TFormPerehod::SetSaveOffer([] { ShowSaveDialog(); });   // once, at start-up
//   auto* f = new TFormPerehod();                           // frees itself on close
//   f->show();

#include "foundation/ui/base/FormBase.h"
#include "platform/DateTime.h"

#include <QStringList>

#include <functional>

class QLabel;
class QPushButton;

class TFormPerehod : public TForm {
    Q_OBJECT
public:
    explicit TFormPerehod(QWidget* parent = nullptr);

    // The save dialog offered before the question; none: no offer.
    static void SetSaveOffer(std::function<void()> offer);
    // Ends the program after the window closed on a run transition.
    static void SetTerminate(std::function<void()> terminate);

    bool Done() const { return done_; }
    TDateTime NewPeriod() const { return newPeriod_; }

    QLabel* lbHeader;
    QLabel* lbDescr;
    QLabel* lbWarn;
    QPushButton* btOk;
    QPushButton* btCancel;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void OkClick();
    void ShowFinished();
    void FitToTexts();

    QStringList st_;
    TDateTime newPeriod_ = 0;
    bool done_ = false;
};
