#include "db/DbValue.h"

#include "db/Sqlite.h"

#include <sqlite3.h>

#include <cstring>

namespace {

int Rank(DbValue::Kind k)
{
    switch (k) {
    case DbValue::Null: return 0;
    case DbValue::Int:
    case DbValue::Real: return 1;
    case DbValue::Text: return 2;
    case DbValue::Blob: return 3;
    }
    return 0;
}

int CompareBytes(const QByteArray& a, const QByteArray& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const int c = n ? std::memcmp(a.constData(), b.constData(), size_t(n)) : 0;
    if (c != 0)
        return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

} // namespace

int CompareDbValues(const DbValue& a, const DbValue& b, bool caseInsensitive)
{
    const int ra = Rank(a.kind);
    const int rb = Rank(b.kind);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    switch (ra) {
    case 0: return 0;
    case 1:
        if (a.kind == DbValue::Int && b.kind == DbValue::Int)
            return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
        {
            const long double x = a.kind == DbValue::Int ? (long double)a.i : (long double)a.d;
            const long double y = b.kind == DbValue::Int ? (long double)b.i : (long double)b.d;
            return x < y ? -1 : x > y ? 1 : 0;
        }
    case 2:
        if (caseInsensitive)
            return CompareTextCaseInsensitive(
                a.bytes.constData(), int(a.bytes.size()), b.bytes.constData(), int(b.bytes.size()));
        return CompareBytes(a.bytes, b.bytes);
    default: return CompareBytes(a.bytes, b.bytes);
    }
}

void BindDbValue(StatementScope& scope, int index, const DbValue& v)
{
    switch (v.kind) {
    case DbValue::Null: scope.BindNull(index); break;
    case DbValue::Int: scope.BindInt(index, v.i); break;
    case DbValue::Real: scope.BindDouble(index, v.d); break;
    case DbValue::Text: scope.BindText(index, v.bytes); break;
    case DbValue::Blob: scope.BindBlob(index, v.bytes); break;
    }
}

DbValue ReadDbValue(sqlite3_stmt* stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER: return DbValue::OfInt(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT: return DbValue::OfReal(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return DbValue::OfText(QByteArray(p, sqlite3_column_bytes(stmt, column)));
    }
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, column));
        return DbValue::OfBlob(QByteArray(p, sqlite3_column_bytes(stmt, column)));
    }
    default: return DbValue();
    }
}
