#pragma once
// Measuring texts in a font, as a window lays out labels and edits. Line
// breaks in the text start new lines; tabs are expanded.

#include <QFont>
#include <QSize>
#include <QString>

// Width and height of S: one line, or word-wrapped to Width.
QSize MeasureText(const QString& S, const QFont& Font, int Width, bool WordWrap);
QSize MeasureTextLine(const QString& S, const QFont& Font);
int TextWidthInFont(const QString& S, const QFont& Font);
int TextHeightInFont(const QString& S, const QFont& Font);
QSize MeasureWrappedText(const QString& S, const QFont& Font, int Width);
int WrappedTextHeight(const QString& S, const QFont& Font, int Width);
// The width of a date edit: the text " 99/99/9999".
int DateMaskWidth(const QFont& Font);
