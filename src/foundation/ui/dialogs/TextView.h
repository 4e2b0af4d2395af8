#pragma once
// The text viewer of error lists and text files: a header over a read-only
// memo. One window, made on first use and reused.
//
//   ShowView(QStringLiteral("Ошибки расчета"), QString(), errors, false);
//   ShowViewFile(QString(), QString(), path, true, true); // a DOS text file
//
// A file is read in the Windows code page, or in the DOS one with OemText.

#include "foundation/ui/base/FormBase.h"

#include <QStringList>

class QLabel;
class QPlainTextEdit;

class TFormView : public TForm {
    Q_OBJECT
public:
    explicit TFormView(QWidget* parent = nullptr);

    // A visible viewer is closed first (which clears FileName and OemText).
    void ShowView(const QString& caption, const QString& header, const QStringList& lines, bool modal);
    // The header text, or the design header when Text is empty.
    void SetHeader(const QString& text);
    QStringList Lines() const;

    QString FileName; // shown instead of the given lines
    bool OemText = false;

    QLabel* pnMsg;
    QPlainTextEdit* Memo;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

// The program's viewer, made on first use; FreeFormView ends it.
TFormView& FormView();
void FreeFormView();

void ShowView(const QString& caption, const QString& header, const QStringList& lines, bool modal);
// Shows a text file; set after the previous viewer is closed, so that its
// close does not forget the file.
void ShowViewFile(const QString& caption, const QString& header, const QString& fileName, bool oemText, bool modal);
