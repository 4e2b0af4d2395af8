#pragma once
// Fixtures of the table layer tests: a temporary data folder and a few
// table definitions shaped like the program's tables.

#include "db/Cursor.h"
#include "db/Session.h"
#include "db/Sqlite.h"
#include "db/TableDef.h"
#include "db/Tables.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

// A temporary folder made the session's data folder while it lives.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        DbSession::SetDataFolder(dir_.path());
    }
    void TearDown() override
    {
        DbSession::SetDataFolder(QString());
        EXPECT_EQ(DbSession::OpenFileCount(), 0) << "a table file was left open";
    }
    QString Folder() const { return dir_.path(); }
    QString PathOf(const QString& file) const { return dir_.path() + QLatin1Char('/') + file; }

private:
    QTemporaryDir dir_;
};

inline FieldDef F(const char* name, FieldType type, int size = 0)
{
    return FieldDef{QString::fromUtf8(name), type, size, false};
}

inline IndexDef Primary(const char* fields)
{
    return IndexDef{QString(), IndexOption::Primary | IndexOption::Unique, QString::fromUtf8(fields)};
}

inline IndexDef Secondary(const char* name, const char* fields, IndexOptions options = {})
{
    return IndexDef{QString::fromUtf8(name), options, QString::fromUtf8(fields)};
}

// The period input table.
inline TableDef VvodDef(const char* name = "VVOD")
{
    return TableDef{QString::fromUtf8(name),
        {F("PRIM", FieldType::AutoInc), F("TABNUM", FieldType::Integer), F("DOPNUM", FieldType::Integer),
            F("DTIME", FieldType::Float), F("SUM", FieldType::Float), F("PROC", FieldType::Float),
            F("DATEVV", FieldType::Date), F("DATEBEG", FieldType::Date), F("USER", FieldType::Integer)},
        {Primary("PRIM"), Secondary("TABNUM", "TABNUM;DATEVV"), Secondary("TABDATE", "TABNUM;DATEBEG")}};
}

// The object store.
inline TableDef BinDef()
{
    return TableDef{QStringLiteral("Bin"),
        {F("PRIM", FieldType::AutoInc), F("CLASS", FieldType::Smallint), F("VID", FieldType::Integer),
            F("TIP", FieldType::Smallint), F("SUBTIP", FieldType::Smallint), F("DATEBEG", FieldType::Date),
            F("DATEEND", FieldType::Date), F("INFO", FieldType::Blob), F("USER", FieldType::Smallint)},
        {Primary("PRIM"), Secondary("INFO", "CLASS;VID;TIP;SUBTIP;DATEBEG")}};
}

// A reference book with a case-insensitive name index.
inline TableDef PostDef()
{
    return TableDef{QStringLiteral("POST"),
        {F("NUM", FieldType::Integer), F("NAIM", FieldType::String, 40), F("USER", FieldType::Integer)},
        {Primary("NUM"), Secondary("NAIM", "NAIM", IndexOption::CaseInsensitive)}};
}

// Income-tax scale lines: a two-field key with a Float in it.
inline TableDef PnlDef()
{
    return TableDef{QStringLiteral("PNL"),
        {F("NUM", FieldType::Integer), F("SUM", FieldType::Float), F("SUMNAL", FieldType::Float),
            F("PROC", FieldType::Float), F("USER", FieldType::Integer)},
        {Primary("NUM;SUM")}};
}

// Appends one row with the given field values (by name).
inline void AppendRow(Cursor& c, std::initializer_list<std::pair<const char*, Variant>> values)
{
    c.Append();
    for (const auto& [name, value] : values)
        c.FieldByName(QString::fromUtf8(name)).SetVariant(value);
    c.Post();
}

// Departments: SP with NUM and NAIM, rows 1, 2 and 3 named "Отдел 1" to "Отдел 3".
inline void CreateDepartments()
{
    Tables::Create(TableDef{
        QStringLiteral("SP"), {F("NUM", FieldType::Integer), F("NAIM", FieldType::String, 80)}, {Primary("NUM")}});
    Cursor sp(QStringLiteral("SP"));
    sp.Open();
    for (int n : {1, 2, 3})
        AppendRow(sp, {{"NUM", Variant(n)}, {"NAIM", Variant(QStringLiteral("Отдел %1").arg(n))}});
}

// The values of one field over the rows from the current one to the end.
inline QList<int> IntsToEnd(Cursor& c, const char* field)
{
    QList<int> out;
    for (; !c.Eof(); c.Next())
        out << c.FieldByName(QString::fromUtf8(field)).AsInteger();
    return out;
}

inline QList<int> AllInts(Cursor& c, const char* field)
{
    c.First();
    return IntsToEnd(c, field);
}
