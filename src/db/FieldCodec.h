#pragma once
// The storage and read rules of the field types: how a value given to a
// field becomes what the file holds, and how a stored value reads back.
// Null reads as 0, "" or false.

#include "db/DbValue.h"
#include "db/TableDef.h"
#include "platform/DateTime.h"
#include "platform/Variant.h"

#include <QString>

// For key values (find, ranges) the Smallint and Integer range checks are
// left out: a key outside the range simply matches nothing.
DbValue StoreInteger(const FieldDef& f, int64_t v, bool forKey = false);
DbValue StoreFloat(const FieldDef& f, double v, bool forKey = false);
DbValue StoreString(const FieldDef& f, const QString& v, bool forKey = false);
DbValue StoreBoolean(const FieldDef& f, bool v);
DbValue StoreDateTime(const FieldDef& f, TDateTime v, bool forKey = false);
DbValue StoreBlob(const FieldDef& f, const QByteArray& v);
DbValue StoreVariant(const FieldDef& f, const Variant& v, bool forKey = false);

int64_t ReadInteger(const FieldDef& f, const DbValue& v);
double ReadFloat(const FieldDef& f, const DbValue& v);
QString ReadString(const FieldDef& f, const DbValue& v);
bool ReadBoolean(const FieldDef& f, const DbValue& v);
TDateTime ReadDateTime(const FieldDef& f, const DbValue& v);
QByteArray ReadBlob(const FieldDef& f, const DbValue& v);
Variant ReadVariant(const FieldDef& f, const DbValue& v);

// The value a key field of the primary index gets instead of null.
DbValue ZeroValue(const FieldDef& f);
