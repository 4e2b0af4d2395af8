#pragma once
// The two single-byte code pages of the program's files: CP1251 (its own
// files and the strings inside stored objects) and CP866 (the DOS
// predecessor's data). Characters a code page cannot hold become "?".

#include <QByteArray>
#include <QString>

QByteArray ToCp1251(const QString& text);
QString FromCp1251(const QByteArray& bytes);
QChar Cp1251ToChar(unsigned char byte);

QByteArray ToCp866(const QString& text);
QString FromCp866(const QByteArray& bytes);

// True when every character of the text exists in CP1251.
bool IsCp1251Text(const QString& text);
bool IsCp1251Char(QChar c);
