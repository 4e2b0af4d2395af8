#pragma once
// String routines of the program: positions are counted from 1 and 0 means
// "not found", as everywhere in the old code.

#include <QByteArray>
#include <QChar>
#include <QString>
#include <cstdint>

class Variant;

// Position of Sub in S at or after Start (Start below 1 counts as 1); 0 when
// either is empty or fewer than Sub's length characters remain.
int FindSubStrFrom(const QString& Sub, const QString& S, int Start);
int FindSubStr(const QString& Sub, const QString& S);
// Position of Sub in S ignoring letter case (Cyrillic included), 0 when absent.
int PosText(const QString& Sub, const QString& S);
QString UpperStr(const QString& S);

// DOS (CP866) text to the program's text.
QString OemToAnsiStr(const QByteArray& S);
// The same for a text whose characters stand for CP866 bytes that were read
// as CP1251 (the old tables' raw strings).
QString OemToAnsiStr(const QString& S);

// Every character of S that occurs in Chars becomes Chars' first character.
void ReplaceCharsWithFirst(QString& S, const QString& Chars);
int CountCharsOf(const QString& S, const QString& Chars);
// A copy that shares no data with S.
QString MakeUniqueCopy(const QString& S);
// The first / last N characters; the whole text when shorter, "" for N <= 0.
QString LeftStr(const QString& S, int N);
QString RightStr(const QString& S, int N);

// S cut to its first Len characters, or filled with PadChar up to Len on the
// left (on the right with PadRight).
QString PadString(const QString& S, int Len, QChar PadChar = QLatin1Char(' '), bool PadRight = false);
// An integer or string Variant as text, zero-filled on the left to Len or cut
// to its first Len characters. Not meant for negative numbers: -7 gives "0-7".
// Other types raise EConvertError "Pad0: Неверный тип данных".
QString Pad0(const Variant& Value, int Len);
// Every "%" doubled, so that the text passes through Format unchanged.
QString DoublePercentSigns(const QString& S);
// Eight upper-case hexadecimal digits; negatives in two's complement.
QString IntToHex8(int32_t Value);

// Wildcard match over the whole of S: "?" is any one character, "*" any run
// (also empty), "**" counts as "*". A Mask equal to S always matches, the
// Mask "*" matches everything, otherwise an empty S or Mask matches nothing.
bool MatchWild(const QString& S, const QString& Mask, bool IgnoreCase);
