#pragma once
// The window of the predecessor's import: the two folders, the import and
// the pay-sheet-only ("local") import, the stage, the progress and the
// counters of the last run. While the import runs its button asks whether
// to stop, and a close request does the same; the window then closes once
// the import has ended, as the engine's lists are still in use. Modal, as
// the program's data sets are closed while it runs.
//
//   TFormImportData form(&main);
//   form.ShowModal();

#include "archive/ImportData.h"
#include "foundation/ui/base/FormBase.h"

#include <functional>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class Tyq_CustomComboEdit;

class TFormImportData : public TForm {
    Q_OBJECT
public:
    explicit TFormImportData(QWidget* parent = nullptr);

    // Picks a file (title, filter, proposed file); empty when cancelled.
    using TFileChooser = std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;
    static TFileChooser& FileChooser();

    TImportData& Import() { return import_; }

    QLabel* lbHeader;
    Tyq_CustomComboEdit* edPath;
    Tyq_CustomComboEdit* edOutPath;
    QLabel* lbMessage;
    QProgressBar* pbProgress;
    QListWidget* lbCounters;
    QPushButton* btImport;
    QPushButton* Button1;
    QPushButton* btClose;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void ImportClick();
    void LocalClick();
    void ChoosePath(Tyq_CustomComboEdit* edit, const QString& filter, const QString& proposed);
    void ShowCounters();
    void TakePaths();

    TImportData import_;
    bool closeWhenDone_ = false;
    bool errorsShown_ = false;
};
