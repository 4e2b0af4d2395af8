#include "TableDump.h"

#include "db/Cursor.h"
#include "db/DataFolderLock.h"
#include "db/TableDef.h"
#include "db/Tables.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QStringList>

namespace {

QString FieldText(const Field& f)
{
    if (f.IsNull())
        return QStringLiteral("null");
    switch (f.Type()) {
    case FieldType::Blob: return QString::fromLatin1(f.AsBlob().toHex());
    case FieldType::Float:
    case FieldType::Date:
    case FieldType::DateTime: return QString::number(f.AsFloat(), 'g', 17);
    case FieldType::String: return QLatin1Char('"') + f.AsString() + QLatin1Char('"');
    case FieldType::Boolean: return f.AsBoolean() ? QStringLiteral("true") : QStringLiteral("false");
    default: return QString::number(f.AsInt64());
    }
}

QString DefinitionText(const TableDef& def)
{
    QStringList parts;
    for (const FieldDef& f : def.fields)
        parts
            << QStringLiteral("%1 %2(%3)%4").arg(f.name, FieldTypeName(f.type)).arg(f.size).arg(f.required ? "!" : "");
    for (const IndexDef& i : def.indexes)
        parts << QStringLiteral("index \"%1\" %2 (%3)").arg(i.name, IndexOptionsText(i.options), i.fields);
    return parts.join(QStringLiteral("; "));
}

void DumpTable(const QString& folder, const QString& name, QString& out)
{
    out += QStringLiteral("table %1\n").arg(name);
    try {
        out += QStringLiteral("  def %1\n").arg(DefinitionText(Tables::ReadDefinition(name, folder)));
        Cursor c(name, folder);
        c.SetIndexName(QString());
        c.Open();
        for (c.First(); !c.Eof(); c.Next()) {
            QStringList fields;
            for (int i = 0; i < c.FieldCount(); ++i) {
                const Field f = c.FieldAt(i);
                fields << f.Name() + QLatin1Char('=') + FieldText(f);
            }
            out += QStringLiteral("  row ") + fields.join(QStringLiteral(" | ")) + QLatin1Char('\n');
        }
    } catch (const Exception& e) {
        out += QStringLiteral("  unreadable: %1\n").arg(e.Message());
    }
}

} // namespace

QString DumpDataFolder(const QString& folder)
{
    QString out;
    for (const QString& name : Tables::List(folder))
        DumpTable(folder, name, out);
    // Reading the tables rolled back every journal a killed write left;
    // what stays is a journal whose header was never written, which SQLite
    // ignores and the next write to its table replaces.
    QStringList files;
    for (const QString& f : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        if (f != DataFolderLock::FileName() && !f.endsWith(QStringLiteral("-journal")))
            files << f;
    }
    out.prepend(QStringLiteral("files %1\n").arg(files.join(QStringLiteral(", "))));
    return out;
}
