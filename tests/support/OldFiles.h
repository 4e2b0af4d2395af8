#pragma once
// Writers of the DOS predecessor's files for tests: dBASE tables and
// Clipper memory files built byte by byte, so that the program's readers
// are checked against the formats, not against themselves.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstring>
#include <set>
#include <vector>

struct DbfColumn {
    QByteArray name;
    char type = 'C';
    int length = 10;
    int decimals = 0;
};

// Cells are the field's bytes (CP866 already); numbers are right-aligned,
// everything else left-aligned and blank-padded. Rows listed in `deleted`
// carry the '*' mark.
inline QByteArray DbfBytes(const std::vector<DbfColumn>& columns, const std::vector<std::vector<QByteArray>>& rows,
    const std::set<int>& deleted = {})
{
    int recordLength = 1;
    for (const DbfColumn& c : columns)
        recordLength += c.length;
    const int headerLength = 32 + 32 * int(columns.size()) + 1;
    QByteArray out(32, '\0');
    out[0] = 0x03;
    out[1] = 99;
    out[2] = 1;
    out[3] = 1;
    const auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    put32(4, quint32(rows.size()));
    out[8] = char(headerLength & 0xFF);
    out[9] = char(headerLength >> 8);
    out[10] = char(recordLength & 0xFF);
    out[11] = char(recordLength >> 8);
    for (const DbfColumn& c : columns) {
        QByteArray d(32, '\0');
        std::memcpy(d.data(), c.name.constData(), size_t(std::min<int>(int(c.name.size()), 10)));
        d[11] = c.type;
        d[16] = char(c.length & 0xFF);
        d[17] = char(c.type == 'C' ? c.length >> 8 : c.decimals);
        out += d;
    }
    out += '\x0D';
    for (size_t r = 0; r < rows.size(); ++r) {
        out += deleted.count(int(r)) ? '*' : ' ';
        for (size_t i = 0; i < columns.size(); ++i) {
            QByteArray cell = i < rows[r].size() ? rows[r][i].left(columns[i].length) : QByteArray();
            const QByteArray pad(columns[i].length - int(cell.size()), ' ');
            out += columns[i].type == 'N' ? pad + cell : cell + pad;
        }
    }
    out += '\x1A';
    return out;
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
