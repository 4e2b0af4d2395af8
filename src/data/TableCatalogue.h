#pragma once
// The catalogue of the program's 29 tables, compiled in: for each table
// number its name, its fields in order and its indexes in order. The data
// base is created and upgraded from it, and every part of the program opens
// its tables by these names. Field and index order are part of the contract:
// the upgrade compares them in order.

#include "db/TableDef.h"

#include <QString>

#include <memory>
#include <vector>

struct tbField {
    const char* Name;
    FieldType DataType;
    int Size; // characters of a String field, 0 otherwise
    bool Required;
};

struct tbIndex {
    const char* Name; // empty for the primary index
    IndexOptions Options;
    const char* Fields; // separated by ";"
};

constexpr int TableCount = 29;

class TTableStructures;

class TTableStructure {
public:
    TTableStructure(TTableStructures* owner, int number);

    TTableStructures* Owner() const { return owner_; }
    int Number() const { return number_; }
    QString Name() const;
    const tbField* Fields() const;
    int FieldCount() const;
    const tbIndex* Indexes() const;
    int IndexCount() const;

    // The definition the table layer creates and compares files with.
    TableDef Definition() const;
    // Creates the table file in the data folder (or the given folder), with
    // or without its secondary indexes.
    void CreateTable(const QString& folder = QString(), bool withSecondaryIndexes = true) const;

private:
    TTableStructures* owner_;
    int number_;
};

class TTableStructures {
public:
    TTableStructures();
    int Count() const { return TableCount; }
    // Table 0..28; another number raises EAppException.
    const TTableStructure& Items(int number) const;
    const TTableStructure& operator[](int number) const { return Items(number); }
    // The number of a table by name (ignoring case), -1 when it is not in the catalogue.
    int NumberOf(const QString& tableName) const;

private:
    std::vector<std::unique_ptr<TTableStructure>> items_;
};

// The program's one catalogue, made on first use.
TTableStructures& TableStructures();

// What the table holds, in the clerk's words ("карточки работников");
// the name itself for a table outside the catalogue.
QString TableCaption(const QString& tableName);

// The catalogue lookup by number. Outside 0..28 it shows the error
// "Нет описания структуры: " followed by the number and answers false.
bool GetTableDescription(
    int number, QString& name, const tbField*& fields, int& fieldCount, const tbIndex*& indexes, int& indexCount);
