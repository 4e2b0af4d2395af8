#pragma once
// The DOS predecessor's dBASE tables (Clipper's .DBF), read-only. Rows
// marked deleted are skipped, as the old program's data engine hid them.
// Every damage the header or the rows show ends in EAppException naming the
// file, never in a read past the data.

#include "platform/DateTime.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

struct TDbfField {
    QString Name; // upper case
    char Type = 'C';
    int Length = 0;
    int Decimals = 0;
    int Offset = 0; // in the record, after the deletion byte
};

class TDbfFile {
public:
    explicit TDbfFile(const QString& fileName);
    ~TDbfFile();
    TDbfFile(const TDbfFile&) = delete;
    TDbfFile& operator=(const TDbfFile&) = delete;

    const QString& FileName() const { return fileName_; }
    int FieldCount() const { return int(fields_.size()); }
    const TDbfField& Field(int index) const { return fields_.at(size_t(index)); }
    // -1 when absent; any letter case.
    int FieldIndex(const QString& name) const;
    bool HasField(const QString& name) const { return FieldIndex(name) >= 0; }
    // Every record the header counts, deleted ones included (a progress total).
    int RecordCount() const { return recordCount_; }

    // Moves to the next live record; false after the last.
    bool Next();
    // The record number of the current row (0-based).
    int RecNo() const { return current_; }

    // The field's bytes; C fields lose their trailing blanks. An unknown
    // field, or one of a type not read here (a memo), raises EAppException.
    QByteArray Raw(const QString& field) const;
    bool IsNull(const QString& field) const;
    // C fields from CP866, trailing blanks removed.
    QString Text(const QString& field) const;
    // The raw first byte (0..255), 0 for an empty field.
    int FirstByte(const QString& field) const;
    // N/F: blank is 0; anything else not a number raises EAppException.
    double Number(const QString& field) const;
    int Integer(const QString& field) const;
    // T/t/Y/y true; anything else false.
    bool Logical(const QString& field) const;
    // YYYYMMDD; blank gives NoDate.
    TDateTime Date(const QString& field) const;

private:
    void ReadHeader(qint64 fileSize);
    [[noreturn]] void Damaged(const QString& detail) const;
    const TDbfField& Need(const QString& field) const;
    QByteArray Bytes(const TDbfField& f) const;

    QString fileName_;
    void* handle_ = nullptr;
    std::vector<TDbfField> fields_;
    int recordCount_ = 0;
    int recordLength_ = 0;
    int current_ = -1;
    const char* record_ = nullptr;
};

// The file of that name in the folder whatever the letter case of either;
// empty when none.
QString FindFileNoCase(const QString& folder, const QString& name);
// The files matching the wildcard pattern ("NC*.DBF") in any letter case,
// full paths sorted by upper-cased name.
QStringList FindFilesNoCase(const QString& folder, const QString& pattern);
