#pragma once
// The encoding of the program's stored objects (calendars, user formulas,
// calculation tables, pay-sheet definitions): values one after another, no
// header, no padding, little-endian.
//   byte      1 byte
//   integer   4 bytes, signed
//   double    8 bytes, IEEE 754
//   date-time a double of days since 30.12.1899
//   Boolean   1 byte, 0xFF for true; any non-zero byte reads as true
//   string    CP1251 bytes after a tag: 06, a length byte, for up to 255
//             bytes; 0C, a 4-byte length, for longer ones
// A stream that ends early raises EReadError "Stream read error".

#include "foundation/Stream.h"
#include "platform/DateTime.h"

#include <QString>

#include <cstdint>

// Characters outside CP1251 are written as "?".
void WriteStr(TStream& stream, const QString& s);
// A tag other than 06 or 0C, or a long length that is negative or runs past
// the end, raises EReadError "ReadString: Ошибка чтения".
QString ReadString(TStream& stream);

void WriteInteger(TStream& stream, int32_t value);
int32_t ReadInteger(TStream& stream);
void WriteByte(TStream& stream, uint8_t value);
uint8_t ReadByte(TStream& stream);
void WriteDouble(TStream& stream, double value);
double ReadDouble(TStream& stream);
void WriteBoolean(TStream& stream, bool value);
bool ReadBoolean(TStream& stream);
void WriteDateTime(TStream& stream, TDateTime value);
TDateTime ReadDateTime(TStream& stream);
