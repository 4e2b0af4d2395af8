#pragma once
// Table definitions: the fields and indexes a table file is created from and
// that every table file records inside itself, so that a definition read
// back from a file can be compared with the one the program expects.

#include <QFlags>
#include <QList>
#include <QString>
#include <QStringList>

enum class FieldType { Unknown, Integer, Smallint, Float, Date, DateTime, Boolean, String, AutoInc, Blob };

enum class IndexOption : unsigned {
    Primary = 0x01,
    Unique = 0x02,
    Descending = 0x04,
    CaseInsensitive = 0x08,
    Expression = 0x10,
    NonMaintained = 0x20,
};
Q_DECLARE_FLAGS(IndexOptions, IndexOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(IndexOptions)

struct FieldDef {
    QString name;
    FieldType type = FieldType::Unknown;
    int size = 0; // characters of a String field, 0 for the other types
    bool required = false;

    friend bool operator==(const FieldDef&, const FieldDef&) = default;
};

struct IndexDef {
    QString name; // empty for the primary index
    IndexOptions options;
    QString fields; // field names separated by ";"

    QStringList FieldList() const;
    bool IsPrimary() const { return options.testFlag(IndexOption::Primary); }
    bool IsCaseInsensitive() const { return options.testFlag(IndexOption::CaseInsensitive); }
    // Same name (ignoring case), same fields (ignoring case) and options.
    bool SameAs(const IndexDef& other) const;

    friend bool operator==(const IndexDef&, const IndexDef&) = default;
};

struct TableDef {
    QString name;
    QList<FieldDef> fields;
    QList<IndexDef> indexes;

    // Position of a field by name (ignoring case), -1 when absent.
    int FieldIndex(const QString& fieldName) const;
    // Position of an index by name (ignoring case; "" is the primary), -1 when absent.
    int IndexNumber(const QString& indexName) const;
    int PrimaryIndexNumber() const;
    // The same definition without its secondary indexes.
    TableDef WithoutSecondaryIndexes() const;

    friend bool operator==(const TableDef&, const TableDef&) = default;
};

// The stored type names: "INTEGER", "SMALLINT", "FLOAT", "DATE", "DATETIME",
// "BOOLEAN", "VARCHAR", "AUTOINC", "BLOB".
QString FieldTypeName(FieldType type);
FieldType FieldTypeFromName(const QString& name);

QString IndexOptionsText(IndexOptions options);
IndexOptions IndexOptionsFromText(const QString& text);

// Raises EDatabaseError with a clear text when the definition cannot be
// made into a table file (no fields, a duplicate or unknown name, a BLOB in
// a key, more than one primary index, an option the layer does not keep).
void CheckTableDef(const TableDef& def);
void CheckIndexDef(const TableDef& def, const IndexDef& index);
