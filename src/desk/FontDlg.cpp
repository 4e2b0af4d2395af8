#include "desk/FontDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// Document fonts keep the upper size limit the previous use of the dialog
// left, as they always have; before any use there is none worth the name.
int g_lastMaxSize = 96;

bool IsScreenFont(TProgramFont font)
{
    return font == TProgramFont::Main || font == TProgramFont::Label || font == TProgramFont::Edit;
}

} // namespace

TFormFontDialog::TFormFontDialog(QWidget* parent) : TForm(parent, QStringLiteral("FontDialog"))
{
    setWindowTitle(QStringLiteral("Шрифт"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    cbName = new QFontComboBox(this);
    cbName->setObjectName(QStringLiteral("cbName"));
    edSize = new QSpinBox(this);
    edSize->setObjectName(QStringLiteral("edSize"));
    form->addRow(QStringLiteral("Шрифт:"), cbName);
    form->addRow(QStringLiteral("Размер:"), edSize);
    layout->addLayout(form);
    auto* styles = new QGroupBox(QStringLiteral("Начертание"), this);
    auto* styleLayout = new QVBoxLayout(styles);
    const auto check = [&](const char* name, const char* text) {
        auto* box = new QCheckBox(QString::fromUtf8(text), styles);
        box->setObjectName(QLatin1String(name));
        styleLayout->addWidget(box);
        connect(box, &QCheckBox::toggled, this, [this] { UpdateSample(); });
        return box;
    };
    cbBold = check("cbBold", "Жирный");
    cbItalic = check("cbItalic", "Курсив");
    cbUnderline = check("cbUnderline", "Подчеркнутый");
    cbStrikeOut = check("cbStrikeOut", "Зачеркнутый");
    layout->addWidget(styles);
    lbSample = new QLabel(QStringLiteral("АаБбВв AaBbYyZz 123"), this);
    lbSample->setObjectName(QStringLiteral("lbSample"));
    lbSample->setFrameShape(QFrame::StyledPanel);
    lbSample->setMinimumHeight(48);
    lbSample->setAlignment(Qt::AlignCenter);
    layout->addWidget(lbSample);
    auto* buttons = new QDialogButtonBox(this);
    btOk = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btApply = buttons->addButton(QStringLiteral("Применить"), QDialogButtonBox::ApplyRole);
    btCancel = buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    btOk->setObjectName(QStringLiteral("btOk"));
    btApply->setObjectName(QStringLiteral("btApply"));
    btCancel->setObjectName(QStringLiteral("btCancel"));
    layout->addWidget(buttons);
    connect(btOk, &QPushButton::clicked, this, [this] { SetModalResult(QDialog::Accepted); });
    connect(btCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(btApply, &QPushButton::clicked, this, [this] {
        if (OnApply)
            RunGuarded(OnApply);
        UpdateSample(); // applying the fonts to every window reset it
    });
    connect(cbName, &QFontComboBox::currentFontChanged, this, [this] { UpdateSample(); });
    connect(edSize, &QSpinBox::valueChanged, this, [this] { UpdateSample(); });
}

void TFormFontDialog::SetFont(const TFontSpec& spec)
{
    base_ = spec;
    cbName->setCurrentFont(ToQFont(spec));
    shownFamily_ = cbName->currentFont().family();
    edSize->setValue(spec.Size);
    cbBold->setChecked(spec.Style & fsBold);
    cbItalic->setChecked(spec.Style & fsItalic);
    cbUnderline->setChecked(spec.Style & fsUnderline);
    cbStrikeOut->setChecked(spec.Style & fsStrikeOut);
    UpdateSample();
}

TFontSpec TFormFontDialog::Font() const
{
    TFontSpec spec = base_;
    // The stored name, not the substitute face the box shows for it.
    if (cbName->currentFont().family() != shownFamily_)
        spec.Name = cbName->currentFont().family();
    spec.Size = edSize->value();
    spec.Style = (cbBold->isChecked() ? fsBold : 0) | (cbItalic->isChecked() ? fsItalic : 0)
        | (cbUnderline->isChecked() ? fsUnderline : 0) | (cbStrikeOut->isChecked() ? fsStrikeOut : 0);
    return spec;
}

void TFormFontDialog::SetSizeLimits(int minSize, int maxSize) { edSize->setRange(minSize, maxSize); }

void TFormFontDialog::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    UpdateSample();
}

void TFormFontDialog::UpdateSample() { lbSample->setFont(ToQFont(Font())); }

TProgramFont FontOfMenuTag(int tag)
{
    static const TProgramFont fonts[] = {TProgramFont::Main, TProgramFont::Label, TProgramFont::Edit,
        TProgramFont::Header, TProgramFont::Column, TProgramFont::Text};
    return fonts[qBound(1, tag, 6) - 1];
}

void ChooseProgramFont(TProgramFont font)
{
    const TFontSpec copy = ProgramFont(font);
    TFormFontDialog dialog(QApplication::activeWindow());
    switch (font) {
    case TProgramFont::Main:
    case TProgramFont::Edit:
        g_lastMaxSize = 20;
        dialog.SetSizeLimits(5, 20);
        break;
    case TProgramFont::Label:
        g_lastMaxSize = 24;
        dialog.SetSizeLimits(10, 24);
        break;
    default: dialog.SetSizeLimits(10, qMax(10, g_lastMaxSize)); break;
    }
    dialog.SetFont(copy);
    dialog.OnApply = [&] {
        ProgramFont(font) = dialog.Font();
        ApplyFontsToAllForms();
    };
    if (dialog.ShowModal() == QDialog::Accepted)
        ProgramFont(font) = dialog.Font();
    else
        ProgramFont(font) = copy;
    ProgramFont(TProgramFont::Main).Color = ColorToColorRef(QApplication::palette().color(QPalette::WindowText));
    if (IsScreenFont(font))
        ApplyFontsToAllForms();
}
