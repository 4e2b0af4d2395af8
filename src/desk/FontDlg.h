#pragma once
// The font dialog of the File menu's font items: name, size within limits,
// style, a sample, and OK / Apply / Cancel. ChooseProgramFont drives it on
// one of the program's fonts.

#include "data/ui/ProgramFonts.h"
#include "foundation/ui/base/FormBase.h"

#include <functional>

class QCheckBox;
class QFontComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TFormFontDialog : public TForm {
    Q_OBJECT
public:
    explicit TFormFontDialog(QWidget* parent = nullptr);

    void SetFont(const TFontSpec& spec);
    // The chosen font; colour and charset are those given to SetFont.
    TFontSpec Font() const;
    // The size box keeps to these; a font outside them is brought inside.
    void SetSizeLimits(int minSize, int maxSize);

    // Called by Apply with the dialog still open.
    std::function<void()> OnApply;

    QFontComboBox* cbName;
    QSpinBox* edSize;
    QCheckBox* cbBold;
    QCheckBox* cbItalic;
    QCheckBox* cbUnderline;
    QCheckBox* cbStrikeOut;
    QLabel* lbSample;
    QPushButton* btOk;
    QPushButton* btApply;
    QPushButton* btCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateSample();
    TFontSpec base_;
    QString shownFamily_; // the face the box shows for base_'s name
};

// The menu's font items in their order: 1 main, 2 label, 3 edit, 4 header,
// 5 column, 6 text.
TProgramFont FontOfMenuTag(int tag);

// Opens the dialog on the font and keeps a copy: OK assigns the dialog's
// font, Apply assigns it at once and applies the fonts to every window,
// Cancel puts the copy back. Screen fonts are applied to every window
// after OK or Cancel.
void ChooseProgramFont(TProgramFont font);
