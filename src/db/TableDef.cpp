#include "db/TableDef.h"

#include "platform/Exceptions.h"

namespace {

struct TypeName {
    FieldType type;
    const char* name;
};

constexpr TypeName kTypeNames[] = {
    {FieldType::Integer, "INTEGER"},
    {FieldType::Smallint, "SMALLINT"},
    {FieldType::Float, "FLOAT"},
    {FieldType::Date, "DATE"},
    {FieldType::DateTime, "DATETIME"},
    {FieldType::Boolean, "BOOLEAN"},
    {FieldType::String, "VARCHAR"},
    {FieldType::AutoInc, "AUTOINC"},
    {FieldType::Blob, "BLOB"},
};

struct OptionName {
    IndexOption option;
    const char* name;
};

constexpr OptionName kOptionNames[] = {
    {IndexOption::Primary, "PRIMARY"},
    {IndexOption::Unique, "UNIQUE"},
    {IndexOption::Descending, "DESCENDING"},
    {IndexOption::CaseInsensitive, "CASEINSENSITIVE"},
    {IndexOption::Expression, "EXPRESSION"},
    {IndexOption::NonMaintained, "NONMAINTAINED"},
};

[[noreturn]] void Fail(const TableDef& def, const QString& text)
{
    throw EDatabaseError(QStringLiteral("Ошибка в описании таблицы %1: %2").arg(def.name, text));
}

bool IsPlainName(const QString& name)
{
    if (name.isEmpty() || name.size() > 25)
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c == QLatin1Char('"') || c == QLatin1Char(';'))
            return false;
    }
    return true;
}

} // namespace

QStringList IndexDef::FieldList() const
{
    QStringList out;
    for (const QString& part : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            out << name;
    }
    return out;
}

bool IndexDef::SameAs(const IndexDef& other) const
{
    if (name.compare(other.name, Qt::CaseInsensitive) != 0 || options != other.options)
        return false;
    const QStringList a = FieldList();
    const QStringList b = other.FieldList();
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].compare(b[i], Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

int TableDef::FieldIndex(const QString& fieldName) const
{
    // Case folding keeps the length, so names of another length never match.
    for (int i = 0; i < fields.size(); ++i) {
        const QString& name = fields[i].name;
        if (name.size() == fieldName.size() && name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int TableDef::IndexNumber(const QString& indexName) const
{
    if (indexName.isEmpty())
        return PrimaryIndexNumber();
    for (int i = 0; i < indexes.size(); ++i) {
        if (!indexes[i].IsPrimary() && indexes[i].name.compare(indexName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int TableDef::PrimaryIndexNumber() const
{
    for (int i = 0; i < indexes.size(); ++i) {
        if (indexes[i].IsPrimary())
            return i;
    }
    return -1;
}

TableDef TableDef::WithoutSecondaryIndexes() const
{
    TableDef out = *this;
    out.indexes.clear();
    for (const IndexDef& index : indexes) {
        if (index.IsPrimary())
            out.indexes << index;
    }
    return out;
}

QString FieldTypeName(FieldType type)
{
    for (const TypeName& t : kTypeNames) {
        if (t.type == type)
            return QLatin1String(t.name);
    }
    return QStringLiteral("UNKNOWN");
}

FieldType FieldTypeFromName(const QString& name)
{
    for (const TypeName& t : kTypeNames) {
        if (name.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
            return t.type;
    }
    return FieldType::Unknown;
}

QString IndexOptionsText(IndexOptions options)
{
    QStringList parts;
    for (const OptionName& o : kOptionNames) {
        if (options.testFlag(o.option))
            parts << QLatin1String(o.name);
    }
    return parts.join(QLatin1Char(','));
}

IndexOptions IndexOptionsFromText(const QString& text)
{
    IndexOptions out;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        for (const OptionName& o : kOptionNames) {
            if (part.trimmed().compare(QLatin1String(o.name), Qt::CaseInsensitive) == 0)
                out |= o.option;
        }
    }
    return out;
}

void CheckIndexDef(const TableDef& def, const IndexDef& index)
{
    const QString shown
        = index.IsPrimary() ? QStringLiteral("первичный индекс") : QStringLiteral("индекс ") + index.name;
    if (!index.IsPrimary() && !IsPlainName(index.name))
        Fail(def, QStringLiteral("недопустимое имя индекса \"%1\"").arg(index.name));
    if (index.options.testFlag(IndexOption::Expression) || index.options.testFlag(IndexOption::Descending))
        Fail(def, shown + QStringLiteral(": выражения и обратный порядок в индексах не поддерживаются"));
    const QStringList names = index.FieldList();
    if (names.isEmpty())
        Fail(def, shown + QStringLiteral(": не заданы поля"));
    for (int i = 0; i < names.size(); ++i) {
        const int f = def.FieldIndex(names[i]);
        if (f < 0)
            Fail(def, shown + QStringLiteral(": нет поля %1").arg(names[i]));
        if (def.fields[f].type == FieldType::Blob)
            Fail(def, shown + QStringLiteral(": поле %1 типа BLOB не может входить в индекс").arg(names[i]));
        for (int j = 0; j < i; ++j) {
            if (names[j].compare(names[i], Qt::CaseInsensitive) == 0)
                Fail(def, shown + QStringLiteral(": поле %1 указано дважды").arg(names[i]));
        }
    }
}

void CheckTableDef(const TableDef& def)
{
    if (!IsPlainName(def.name) || def.name.contains(QLatin1Char('/')))
        Fail(def, QStringLiteral("недопустимое имя таблицы"));
    if (def.fields.isEmpty())
        Fail(def, QStringLiteral("нет полей"));
    for (int i = 0; i < def.fields.size(); ++i) {
        const FieldDef& f = def.fields[i];
        if (!IsPlainName(f.name))
            Fail(def, QStringLiteral("недопустимое имя поля \"%1\"").arg(f.name));
        if (f.name.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0)
            Fail(def, QStringLiteral("имя поля %1 зарезервировано").arg(f.name));
        if (def.FieldIndex(f.name) != i)
            Fail(def, QStringLiteral("поле %1 указано дважды").arg(f.name));
        if (f.type == FieldType::Unknown)
            Fail(def, QStringLiteral("у поля %1 не задан тип").arg(f.name));
        if (f.type == FieldType::String && (f.size < 1 || f.size > 255))
            Fail(def, QStringLiteral("длина поля %1 должна быть от 1 до 255").arg(f.name));
        if (f.type != FieldType::String && f.size != 0)
            Fail(def, QStringLiteral("у поля %1 длина задается только для строк").arg(f.name));
    }
    int primaries = 0;
    for (int i = 0; i < def.indexes.size(); ++i) {
        const IndexDef& index = def.indexes[i];
        CheckIndexDef(def, index);
        if (index.IsPrimary()) {
            ++primaries;
            if (!index.name.isEmpty())
                Fail(def, QStringLiteral("первичный индекс не должен иметь имени"));
        } else {
            for (int j = 0; j < i; ++j) {
                if (!def.indexes[j].IsPrimary() && def.indexes[j].name.compare(index.name, Qt::CaseInsensitive) == 0)
                    Fail(def, QStringLiteral("индекс %1 указан дважды").arg(index.name));
            }
        }
    }
    if (primaries > 1)
        Fail(def, QStringLiteral("больше одного первичного индекса"));
}
