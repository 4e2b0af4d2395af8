#pragma once
// Writers of the DOS predecessor's files for tests: dBASE tables through
// shapelib's writer and Clipper memory files built byte by byte, so that
// the program's readers are checked against the formats, not against
// themselves.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <shapefil.h>

#include <cstring>
#include <set>
#include <vector>

struct DbfColumn {
    QByteArray name;
    char type = 'C';
    int length = 10;
    int decimals = 0;
};

// The table as shapelib's own writer makes it (never the program's
// reader): cells are the field's bytes (CP866 already); a number cell that
// is a number goes through shapelib's number formatting, any other cell
// (a blank, a damaged number, a date) is written as it stands. Rows listed
// in `deleted` carry the '*' mark.
inline QByteArray DbfBytes(const std::vector<DbfColumn>& columns, const std::vector<std::vector<QByteArray>>& rows,
    const std::set<int>& deleted = {})
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("table.dbf")));
    DBFHandle h = DBFCreateEx(path.constData(), "LDID/38"); // CP866
    if (!h)
        return {};
    for (const DbfColumn& c : columns)
        DBFAddNativeFieldType(h, c.name.constData(), c.type, c.length, c.decimals);
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t i = 0; i < columns.size(); ++i) {
            const int row = int(r), field = int(i);
            const QByteArray cell = i < rows[r].size() ? rows[r][i] : QByteArray();
            bool number = false;
            const double value = cell.trimmed().toDouble(&number);
            if (cell.isEmpty())
                DBFWriteAttributeDirectly(h, row, field, const_cast<char*>(""));
            else if ((columns[i].type == 'N' || columns[i].type == 'F') && number)
                DBFWriteDoubleAttribute(h, row, field, value);
            else if (columns[i].type == 'L' && (cell == "T" || cell == "F"))
                DBFWriteLogicalAttribute(h, row, field, cell[0]);
            else if (columns[i].type == 'L' && cell == "?")
                DBFWriteNULLAttribute(h, row, field);
            else if (columns[i].type == 'C')
                DBFWriteStringAttribute(h, row, field, cell.constData());
            else
                DBFWriteAttributeDirectly(h, row, field, const_cast<char*>(cell.constData()));
        }
        if (deleted.count(int(r)))
            DBFMarkRecordDeleted(h, int(r), 1);
    }
    DBFClose(h);
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteBytes(const QString& fileName, const QByteArray& bytes)
{
    QFile f(fileName);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// One memory-file record: a 32-byte header and the value.
inline QByteArray MemHeader(const QByteArray& name, char type, int byte16, int byte17)
{
    QByteArray h(32, '\0');
    std::memcpy(h.data(), name.constData(), size_t(std::min<int>(int(name.size()), 10)));
    h[11] = char(type | 0x80);
    h[16] = char(byte16);
    h[17] = char(byte17);
    return h;
}
inline QByteArray MemText(const QByteArray& name, const QByteArray& cp866)
{
    const int length = int(cp866.size()) + 1;
    return MemHeader(name, 'C', length & 0xFF, length >> 8) + cp866 + QByteArray(1, '\0');
}
inline QByteArray MemNumber(const QByteArray& name, double v, int decimals = 0)
{
    QByteArray b(8, '\0');
    std::memcpy(b.data(), &v, 8); // little-endian hosts only, as the program
    return MemHeader(name, 'N', 10, decimals) + b;
}
inline QByteArray MemLogical(const QByteArray& name, bool v)
{
    return MemHeader(name, 'L', 1, 0) + QByteArray(1, v ? '\1' : '\0');
}
