#pragma once
// The user-formula editor of one accrual kind: modeless, several at a time,
// each window with its own copy of the text. The main window opens it on
// the place where a formula failed.

#include "foundation/ui/base/FormBase.h"

#include <QString>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class T_UserFormula;

class TFormEditFml : public TForm {
    Q_OBJECT
public:
    explicit TFormEditFml(QWidget* parent = nullptr);
    ~TFormEditFml() override;

    // Sets the kind, its heading, and reads its text.
    void SetDopNum(qint32 dopNum);
    qint32 DopNum() const { return dopNum_; }
    void SetReadOnly(bool on);
    bool ReadOnly() const { return readOnly_; }
    // Positions below 1 become 1; a short line takes the caret to its end,
    // a line past the text to the text's end.
    void SetCaretPos(int col, int line);
    int Col() const { return col_; }
    int Line() const { return line_; }
    // "[L:line C:col]  " followed by msg, in the second status panel.
    void SetStatus(const QString& msg);

    // The stored text again (empty when the kind has none); not modified.
    void Reload();
    // Writes the text (blanks only delete the formula) and reloads the
    // program's formula list. Characters CP1251 cannot hold are refused.
    void Save();
    bool Modified() const;

    QPlainTextEdit* reText;
    QLabel* stCaret;
    QLabel* stMessage;
    QPushButton* btReply;
    QPushButton* btSave;

    // Closing saves only a modified text of a writable window: an untouched
    // window must not put its stale copy over a newer one.
    void done(int result) override;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void UpdateButtons();
    void ShowCaret();
    void PlaceCaret();

    std::unique_ptr<T_UserFormula> formula_;
    qint32 dopNum_ = 0;
    bool readOnly_ = false;
    int col_ = 1;
    int line_ = 1;
    QString message_;
};

// The main window's way in after a formula error: the parser counts lines
// from 0 (-1: no position), the editor from 1. A window open on the kind
// is moved to the place and brought to front; else a new one opens beside
// the active window.
void OpenFormulaAtError(qint32 dopNum, int line, int col, const QString& message);
