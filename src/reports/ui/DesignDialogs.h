#pragma once
// The designer's dialogs: the document options, the picture and text
// editors of one object and the tree of the document's variables. Each
// copies the values in when shown and writes them back only on OK.

#include "foundation/ui/base/FormBase.h"

#include <QImage>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TDocument;
class TView;

// One entry of the variables list: a section or a variable of one.
struct TVarEntry {
    bool section = false;
    QString text; // the node's text
    QString name; // a variable's name
    QString help; // the help part after the second "|"
    QStringList more; // the help lines that continue it
    int parent = -1; // the section's entry; -1 at the top
};
// Blank lines are skipped (they would make empty sections); a variable
// before any section stays at the top.
std::vector<TVarEntry> ParseVariables(const QStringList& lines);
// What the help panel shows for an entry.
QString VariableHelp(const TVarEntry& entry);

extern const QString kNoVariables; // "Нет предопределенных переменных"

class TVarForm : public TForm {
    Q_OBJECT
public:
    explicit TVarForm(QWidget* parent = nullptr);
    // The tree is rebuilt from the document's list on every call; answers
    // "[name]" or "" when cancelled.
    QString Choose(const TDocument& document);

    QTreeWidget* tree;
    QLabel* lbHelp;
    QLabel* lbEmpty;

protected:
    bool FormKeyDown(QKeyEvent* event) override;

private:
    void ShowHelp();
    void Pick(QTreeWidgetItem* item);
    std::vector<TVarEntry> entries_;
    QString chosen_;
};

// The four coordinate fields of both editors.
struct TBoundsFields {
    QLineEdit *X = nullptr, *Y = nullptr, *DX = nullptr, *DY = nullptr;
    void Show(const TView& view) const;
    // Every field an integer and both sizes at least 1, else a message and
    // false; nothing is applied before all four are good.
    bool Read(QRect& bounds) const;
};

class TEditorForm : public TForm {
    Q_OBJECT
public:
    explicit TEditorForm(QWidget* parent = nullptr);
    // True on OK, with the object changed.
    bool Edit(TView& view, TDocument& document);
    void InsertVariable();

    QPlainTextEdit* Memo;
    TBoundsFields Fields;
    QCheckBox* cbStretch;
    QCheckBox* cbWordWrap;
    QLabel* lbCaret;

protected:
    bool FormKeyDown(QKeyEvent* event) override;

private:
    void TryAccept();
    TView* view_ = nullptr;
    TDocument* document_ = nullptr;
    TVarForm* vars_ = nullptr;
};

class TGEditorForm : public TForm {
    Q_OBJECT
public:
    explicit TGEditorForm(QWidget* parent = nullptr);
    bool Edit(TView& view);
    // The open-file dialog; a test puts its own in. "" when cancelled.
    using TFileChooser = std::function<QString(QWidget* parent)>;
    static TFileChooser& FileChooser();
    void Load();

    QLabel* Image;
    QLineEdit* edFile;
    QCheckBox* cbStretch;
    TBoundsFields Fields;

protected:
    bool FormKeyDown(QKeyEvent* event) override;

private:
    void TryAccept();
    TView* view_ = nullptr;
    QImage picture_;
};

class TOptForm : public TForm {
    Q_OBJECT
public:
    enum TPageIndex { pgCommon = 0, pgSheet = 1, pgElement = 2, pgDesigner = 3 };
    explicit TOptForm(QWidget* parent = nullptr);
    // True on OK, with the document, its active page and the designer
    // settings changed.
    bool Edit(TDocument& document, int page);

    QTabWidget* pc;
    QLineEdit *edName, *edTop, *edBottom, *edLeft, *edRight, *edFontSize, *edLabel;
    QSpinBox *seCategory, *seVersion, *seFrameWidth;
    QLabel* lbFile;
    QCheckBox *cbDouble, *cbContinue, *cbHeaderFirst, *cbBold, *cbItalic, *cbVertical, *cbFrame, *cbWhite, *cbBandName;
    QRadioButton *rbPortrait, *rbLandscape, *rbContour, *rbInvers, *rbGrid4, *rbGrid8, *rbRus, *rbLat;
    QComboBox *cbFont, *cbHAlign, *cbVAlign;

private:
    void TryAccept();
    TDocument* document_ = nullptr;
};

// Centimetres with "," or "." as the decimal, in 1/1000 cm, rounded half
// away from zero; false for a text that is no number.
bool ParseMargin(const QString& text, int& thousandths);
QString FormatMargin(int thousandths);
