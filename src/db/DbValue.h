#pragma once
// One stored value as SQLite holds it: null, integer, real, UTF-8 text or
// bytes. Texts stay UTF-8 until a field is read as a string, so rows read
// ahead cost no conversion.

#include <QByteArray>

#include <cstdint>

struct sqlite3_stmt;
class StatementScope;

struct DbValue {
    enum Kind : uint8_t { Null, Int, Real, Text, Blob };

    Kind kind = Null;
    union {
        int64_t i = 0;
        double d;
    };
    QByteArray bytes; // Text (UTF-8) or Blob

    static DbValue OfInt(int64_t v)
    {
        DbValue out;
        out.kind = Int;
        out.i = v;
        return out;
    }
    static DbValue OfReal(double v)
    {
        DbValue out;
        out.kind = Real;
        out.d = v;
        return out;
    }
    static DbValue OfText(QByteArray utf8)
    {
        DbValue out;
        out.kind = Text;
        out.bytes = std::move(utf8);
        return out;
    }
    static DbValue OfBlob(QByteArray data)
    {
        DbValue out;
        out.kind = Blob;
        out.bytes = std::move(data);
        return out;
    }

    bool IsNull() const { return kind == Null; }
    bool IsNumber() const { return kind == Int || kind == Real; }
    double ToDouble() const { return kind == Int ? double(i) : kind == Real ? d : 0.0; }
};

// SQLite's order: null, numbers (compared as numbers), texts (by the given
// collation), bytes.
int CompareDbValues(const DbValue& a, const DbValue& b, bool caseInsensitive);

void BindDbValue(StatementScope& scope, int index, const DbValue& v);
DbValue ReadDbValue(sqlite3_stmt* stmt, int column);
