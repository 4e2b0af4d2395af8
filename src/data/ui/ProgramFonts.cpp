#include "data/ui/ProgramFonts.h"

#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/controls/ShadowLabel.h"
#include "foundation/ui/grids/DBGrid.h"
#include "foundation/ui/grids/YQRGrids.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <array>

namespace {

struct TFontDefault {
    const char* Section;
    const char* Suffix; // "" when the font has none
    TFontSpec Spec;
};

const std::array<TFontDefault, ProgramFontCount>& Defaults()
{
    static const std::array<TFontDefault, ProgramFontCount> table = {{
        {"MainFont", "_MF", {QStringLiteral("MS Sans Serif"), 8, 0, 204, 0}},
        {"LabelFont", "_LF", {QStringLiteral("Times New Roman"), 18, 16776960, 204, fsBold}},
        {"EditFont", "_EF", {QStringLiteral("MS Sans Serif"), 8, 0, 204, 0}},
        {"CourierFont", "", {QStringLiteral("Courier New"), 8, 0, 204, 0}},
        {"HeaderFont", "_HF", {QStringLiteral("Times New Roman"), 18, 16776960, 204, fsBold}},
        {"ColumnFont", "_CF", {QStringLiteral("Arial"), 10, 0, 204, 0}},
        {"TextFont", "_TF", {QStringLiteral("Arial"), 10, 0, 204, 0}},
    }};
    return table;
}

std::array<TFontSpec, ProgramFontCount>& Current()
{
    static std::array<TFontSpec, ProgramFontCount> fonts = [] {
        std::array<TFontSpec, ProgramFontCount> out;
        for (int i = 0; i < ProgramFontCount; ++i)
            out[i] = Defaults()[i].Spec;
        return out;
    }();
    return fonts;
}

const TFontSpec& F(TProgramFont font) { return Current()[int(font)]; }

// The font of a widget and the text colour, which QFont does not carry.
void SetFont(QWidget* w, const TFontSpec& spec)
{
    w->setFont(ToQFont(spec));
    QPalette palette = w->palette();
    const QColor color = ColorRefToColor(spec.Color);
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    w->setPalette(palette);
}

// Face, size and style of `from` over what the widget has.
void SetFace(QWidget* w, const TFontSpec& from)
{
    QFont font = w->font();
    font.setFamily(from.Name);
    w->setFont(font);
}

void SetFaceSizeStyle(QWidget* w, const TFontSpec& from)
{
    TFontSpec spec = from;
    spec.Color = ColorToColorRef(w->palette().color(QPalette::WindowText));
    w->setFont(ToQFont(spec));
}

bool NameHas(const QWidget* w, const char* word)
{
    return w->objectName().contains(QLatin1String(word), Qt::CaseInsensitive);
}

// The font whose suffix ends the name, or none.
const TFontSpec* SuffixFont(const QWidget* w)
{
    const QString name = w->objectName();
    for (int i = 0; i < ProgramFontCount; ++i) {
        const char* suffix = Defaults()[i].Suffix;
        if (suffix[0] && name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return &Current()[i];
    }
    return nullptr;
}

bool IsForm(const QWidget* w)
{
    return w->isWindow() && (qobject_cast<const TForm*>(w) || qobject_cast<const QMainWindow*>(w));
}

bool IsEditFamily(const QWidget* w)
{
    return qobject_cast<const Tyq_DrawGrid*>(w) || qobject_cast<const QAbstractItemView*>(w)
        || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w)
        || qobject_cast<const QAbstractSpinBox*>(w);
}

void ApplyToOne(QWidget* w)
{
    // The first rule that matches wins.
    if (IsForm(w)) {
        SetFont(w, F(TProgramFont::Main));
    } else if (auto* shadow = qobject_cast<Tyq_ShadowLabel*>(w)) {
        const TFontSpec& label = F(TProgramFont::Label);
        if (shadow->objectName() == QLatin1String("prgHeader")) {
            SetFont(shadow, label);
        } else {
            const TFontSpec* suffix = SuffixFont(shadow);
            SetFace(shadow, suffix ? *suffix : label);
            if (NameHas(shadow, "Header")) {
                QFont font = shadow->font();
                const QFont style = ToQFont(label);
                font.setPointSize(label.Size);
                font.setBold(style.bold());
                font.setItalic(style.italic());
                font.setUnderline(style.underline());
                font.setStrikeOut(style.strikeOut());
                shadow->setFont(font);
            }
        }
    } else if (qobject_cast<QLabel*>(w) && NameHas(w, "TITLE")) {
        SetFaceSizeStyle(w, F(TProgramFont::Main));
    } else if (qobject_cast<QLabel*>(w) && NameHas(w, "WARN")) {
        const TFontSpec& label = F(TProgramFont::Label);
        QFont font = ToQFont(label);
        font.setPointSize(w->font().pointSize() > 0 ? w->font().pointSize() : label.Size);
        w->setFont(font);
    } else if (auto* header = qobject_cast<QHeaderView*>(w)) {
        SetFaceSizeStyle(w, F(TProgramFont::Main));
        // Column widths are given in pixels for the design's font.
        KeepTitlesWhole(header);
    } else if ((qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w)) && w->testAttribute(Qt::WA_SetFont)
        && NameHas(w, "COURIER")) {
        QFont font = w->font();
        font.setFamily(F(TProgramFont::Courier).Name);
        font.setPointSize(F(TProgramFont::Courier).Size);
        w->setFont(font);
    } else if (IsEditFamily(w) || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w)) {
        SetFont(w, F(TProgramFont::Edit));
        if (auto* grid = qobject_cast<TDBGrid*>(w)) {
            SetFaceSizeStyle(grid->horizontalHeader(), F(TProgramFont::Main));
            KeepTitlesWhole(grid->horizontalHeader());
        }
    } else if (w->testAttribute(Qt::WA_SetFont)) {
        w->setFont(QFont()); // inherit the parent's again
    }
    // A label or shadow label whose name ends in a suffix takes that face.
    if (qobject_cast<QLabel*>(w) && !qobject_cast<Tyq_ShadowLabel*>(w))
        if (const TFontSpec* suffix = SuffixFont(w))
            SetFace(w, *suffix);
}

bool IsExcludedForm(const QWidget* w)
{
    const char* name = w->metaObject()->className();
    return qstrcmp(name, "TStopForm") == 0 || qstrcmp(name, "TFormMyReport") == 0;
}

} // namespace

QString FontSectionName(TProgramFont font) { return QString::fromLatin1(Defaults()[int(font)].Section); }
TFontSpec DefaultFontSpec(TProgramFont font) { return Defaults()[int(font)].Spec; }
TFontSpec& ProgramFont(TProgramFont font) { return Current()[int(font)]; }

QColor ColorRefToColor(quint32 colorRef)
{
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

quint32 ColorToColorRef(const QColor& color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

QFont ToQFont(const TFontSpec& spec)
{
    QFont font(spec.Name);
    if (spec.Size > 0)
        font.setPointSize(spec.Size);
    font.setBold(spec.Style & fsBold);
    font.setItalic(spec.Style & fsItalic);
    font.setUnderline(spec.Style & fsUnderline);
    font.setStrikeOut(spec.Style & fsStrikeOut);
    return font;
}

void RegisterFontSubstitutions()
{
    const QStringList sans = {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans);
    QFont::insertSubstitutions(QStringLiteral("Arial"), sans);
    QFont::insertSubstitutions(
        QStringLiteral("Times New Roman"), {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    QFont::insertSubstitutions(
        QStringLiteral("Courier New"), {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
}

void LoadProgramFonts()
{
    RegisterFontSubstitutions();
    TIniFile& ini = ProgramIni();
    for (int i = 0; i < ProgramFontCount; ++i) {
        const QString section = QString::fromLatin1(Defaults()[i].Section);
        TFontSpec& spec = Current()[i];
        spec.Name = ini.ReadString(section, QStringLiteral("Name"), spec.Name);
        spec.Size = ini.ReadInteger(section, QStringLiteral("Size"), spec.Size);
        spec.Color = quint32(ini.ReadInteger(section, QStringLiteral("Color"), int(spec.Color)));
        spec.Charset = ini.ReadInteger(section, QStringLiteral("Charset"), spec.Charset);
        spec.Style = ini.ReadInteger(section, QStringLiteral("Style"), spec.Style);
    }
}

void SaveProgramFonts()
{
    if (!IniSavingEnabled)
        return;
    TIniFile& ini = ProgramIni();
    for (int i = 0; i < ProgramFontCount; ++i) {
        const QString section = QString::fromLatin1(Defaults()[i].Section);
        const TFontSpec& spec = Current()[i];
        ini.WriteString(section, QStringLiteral("Name"), spec.Name);
        ini.WriteInteger(section, QStringLiteral("Size"), spec.Size);
        ini.WriteInteger(section, QStringLiteral("Color"), int(spec.Color));
        ini.WriteInteger(section, QStringLiteral("Charset"), spec.Charset);
        ini.WriteInteger(section, QStringLiteral("Style"), spec.Style);
    }
    ini.UpdateFile();
}

void ResetProgramFonts()
{
    for (int i = 0; i < ProgramFontCount; ++i)
        Current()[i] = Defaults()[i].Spec;
}

void ApplyProgramFonts(QWidget* owner)
{
    if (!owner)
        return;
    ApplyToOne(owner);
    for (QWidget* w : owner->findChildren<QWidget*>())
        ApplyToOne(w);
}

void ApplyFontsToAllForms()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!IsExcludedForm(w) && (qobject_cast<TForm*>(w) || qobject_cast<QMainWindow*>(w)))
            ApplyProgramFonts(w);
}
