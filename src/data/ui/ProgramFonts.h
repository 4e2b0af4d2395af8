#pragma once
// The seven program fonts, kept in the program INI and applied to every
// window by the components' names and classes.
//
//   LoadProgramFonts();            // start-up, after the program INI is known
//   ApplyFontsToAllForms();        // every top-level window
//   SaveProgramFonts();            // shutdown (only while IniSavingEnabled)
//
// The stored face names are the old Windows ones; Qt finds the
// metric-compatible Liberation faces for them (RegisterFontSubstitutions).

#include <QColor>
#include <QFont>
#include <QString>

class QWidget;

enum class TProgramFont { Main, Label, Edit, Courier, Header, Column, Text };
inline constexpr int ProgramFontCount = 7;

// Style bits as stored.
enum : int { fsStrikeOut = 1, fsUnderline = 2, fsItalic = 4, fsBold = 8 };

struct TFontSpec {
    QString Name;
    int Size = 8; // points
    quint32 Color = 0; // Windows COLORREF: 0x00BBGGRR
    int Charset = 204;
    int Style = 0;
    friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

// "MainFont", "LabelFont", ...: the INI section of the font.
QString FontSectionName(TProgramFont font);
TFontSpec DefaultFontSpec(TProgramFont font);
// The program's current value of the font.
TFontSpec& ProgramFont(TProgramFont font);

QColor ColorRefToColor(quint32 colorRef);
quint32 ColorToColorRef(const QColor& color);
QFont ToQFont(const TFontSpec& spec);

// "MS Sans Serif" and "Arial" to Liberation Sans, "Times New Roman" to
// Liberation Serif, "Courier New" to Liberation Mono (DejaVu behind them).
void RegisterFontSubstitutions();

// Every font from its section; a missing key keeps the default.
void LoadProgramFonts();
// Every font to its section; nothing while IniSavingEnabled is off.
void SaveProgramFonts();
// The defaults again (tests; a new program folder).
void ResetProgramFonts();

// Applies the fonts to the owner and every widget inside it.
void ApplyProgramFonts(QWidget* owner);
// The same over every top-level window but the developer's stop window and
// the report base form.
void ApplyFontsToAllForms();
