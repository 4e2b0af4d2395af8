#pragma once
// Typed values of the program's own fields. A text the clerk typed is read
// back with a message in the clerk's words that names the field (and the row
// of a grid); the keys a number or a date may be typed with; the checks that
// every money field and every period shares. Number texts come from the
// platform (FloatToStr, FormatFloat: decimal comma), date fields from
// MakeDateEdit (DateEdit.h).

#include "platform/DateTime.h"

#include <QString>

class QLineEdit;
class QWidget;

// What a typed text stands for.
enum class TypedKind { Text, Integer, Float, Date };

// What a field is called on its window: the label a form layout puts beside
// it, a label whose buddy it is, else its accessible name, else its tool tip.
QString FieldCaption(const QWidget* field);
// The field's name with its grid row (from 1): "Сумма, строка 3".
QString FieldAt(const QString& field, int row);

// The text as a number ("," or "." as the decimal point), an integer or a
// date (dd.mm.yyyy). A text that does not convert raises EConvertError
// "Неверное значение|Поле \"<field>\": \"<text>\" не является числом"
// (целым числом, датой).
double FieldFloat(const QString& text, const QString& field);
int FieldInteger(const QString& text, const QString& field);
TDateTime FieldDate(const QString& text, const QString& field);
// Raises that error for a text of the kind (Integer, Float or Date).
[[noreturn]] void RaiseFieldError(const QString& text, const QString& field, TypedKind kind);

// What a typed number or date may hold: digits and the sign ("+", "-"), a
// number with decimals also "," and "."; a date "." "," "/".
bool AcceptsTypedChar(TypedKind kind, QChar c);
// From now on the edit refuses, with a beep, a typed character that a value
// of the kind cannot hold (a letter in a number); pasted texts are checked
// where they are read.
void FilterTypedChars(QLineEdit* edit, TypedKind kind);

// Raises EAppException "Неверное значение|Поле \"<field>\": значение не может
// быть отрицательным" below zero.
void RequireNotNegative(double value, const QString& field);
// Raises EAppException "Неверный период|<what>: конец периода <end> раньше его
// начала <begin>" when both dates are given and the end comes first.
void RequirePeriod(TDateTime begin, TDateTime end, const QString& what);
