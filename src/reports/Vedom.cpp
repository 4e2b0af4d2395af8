#include "reports/Vedom.h"

#include "data/Globals.h"
#include "foundation/IniFiles.h"
#include "platform/Exceptions.h"
#include "reports/ReportDocument.h"

#include <QDir>

#include <algorithm>

namespace {

const QString kCatList = QStringLiteral("CatList.cfg");

QString Key(const QString& prefix, const char* name) { return prefix + QLatin1String(name); }

// The reader takes one pair of surrounding quotes off; a text that has
// them of its own keeps them by getting a second pair. A NUL would make
// the whole file no text to the reader: it is dropped.
void WriteText(TCustomIniFile& ini, const QString& section, const QString& ident, const QString& text)
{
    QString value = text;
    value.remove(QChar(0));
    if (value.size() >= 2 && value.front() == ini.QuoteBegin && value.back() == ini.QuoteEnd)
        ini.WriteQuoted(section, ident, value);
    else
        ini.WriteString(section, ident, value);
}

// What a count can be at most for the keys "<letter><n>..." the section
// really holds: the highest n plus 1, and never more than its keys, so a
// damaged count or index makes nothing the file does not hold.
int IndexedKeysBound(TCustomIniFile& ini, const QString& section, QChar letter)
{
    QStringList names;
    ini.ReadSection(section, names);
    qint64 bound = 0;
    for (const QString& name : names) {
        if (name.isEmpty() || name[0].toUpper() != letter)
            continue;
        qsizetype end = 1;
        while (end < name.size() && end < 11 && name[end] >= QLatin1Char('0') && name[end] <= QLatin1Char('9'))
            ++end;
        bool ok = false;
        const qint64 n = name.mid(1, end - 1).toLongLong(&ok);
        if (ok && n < 0x7FFFFFFF)
            bound = std::max(bound, n + 1);
    }
    return int(std::min<qint64>(bound, names.size()));
}

int ReadCount(TCustomIniFile& ini, const QString& section, QChar letter)
{
    const int count = ini.ReadInteger(section, QStringLiteral("Count"), 0);
    if (count <= 0)
        return 0;
    return std::min(count, IndexedKeysBound(ini, section, letter));
}

QString CategoriesSection(int kind) { return QStringLiteral("Categories") + QString::number(kind); }
QString CategorySection(int kind) { return QStringLiteral("Category") + QString::number(kind); }

} // namespace

// ---------------------------------------------------------------- T_Vedom

void T_Vedom::ReadFromIni(TCustomIniFile& ini, const QString& section, const QString& prefix)
{
    Name = ini.ReadQuoted(section, Key(prefix, "Name"), QString());
    Num = ini.ReadInteger(section, Key(prefix, "Num"), 0);
    Tip = ini.ReadInteger(section, Key(prefix, "Tip"), 0);
    Category = ini.ReadInteger(section, Key(prefix, "Category"), 0);
    Template = ini.ReadQuoted(section, Key(prefix, "Template"), QString());
    RVNum = ini.ReadInteger(section, Key(prefix, "RVNum"), -1);
    const int cond = ini.ReadInteger(section, Key(prefix, "Cond"), vcAll);
    Cond = cond >= vcAll && cond <= vcZero ? quint8(cond) : quint8(vcAll);
    VedRnd = ini.ReadBool(section, Key(prefix, "VedRnd"), false);
}

void T_Vedom::WriteToIni(TCustomIniFile& ini, const QString& section, const QString& prefix) const
{
    WriteText(ini, section, Key(prefix, "Name"), Name);
    ini.WriteInteger(section, Key(prefix, "Num"), Num);
    ini.WriteInteger(section, Key(prefix, "Tip"), Tip);
    ini.WriteInteger(section, Key(prefix, "Category"), Category);
    WriteText(ini, section, Key(prefix, "Template"), Template);
    ini.WriteInteger(section, Key(prefix, "RVNum"), RVNum);
    ini.WriteInteger(section, Key(prefix, "Cond"), Cond);
    ini.WriteBool(section, Key(prefix, "VedRnd"), VedRnd);
}

void T_Vedom::Assign(const T_Vedom& source) { *this = source; }

QString T_Vedom::TemplateFileName() const
{
    const qsizetype slash = std::max(Template.lastIndexOf(QLatin1Char('/')), Template.lastIndexOf(QLatin1Char('\\')));
    return DcfFileName(Template.mid(slash + 1));
}

// ---------------------------------------------------------------- T_VedList

T_VedList::~T_VedList() { Clear(); }

void T_VedList::ReadFromIni(TCustomIniFile& ini, const QString& section)
{
    Clear();
    const int count = ReadCount(ini, section, QLatin1Char('I'));
    for (int i = 0; i < count; ++i)
        AddVedom()->ReadFromIni(ini, section, QStringLiteral("I") + QString::number(i));
}

void T_VedList::WriteToIni(TCustomIniFile& ini, const QString& section) const
{
    ini.EraseSection(section);
    ini.WriteInteger(section, QStringLiteral("Count"), Count());
    for (int i = 0; i < Count(); ++i)
        Item(i)->WriteToIni(ini, section, QStringLiteral("I") + QString::number(i));
}

T_Vedom* T_VedList::AddVedom()
{
    auto* vedom = new T_Vedom;
    AddObject(vedom);
    return vedom;
}

// ---------------------------------------------------------------- T_AlgorythmList

T_AlgorythmList::~T_AlgorythmList() { Clear(); }

T_Algorythm* T_AlgorythmList::Find(qint32 number) const
{
    for (int i = 0; i < Count(); ++i)
        if (Item(i)->Number == number)
            return Item(i);
    return nullptr;
}

// ---------------------------------------------------------------- T_CatSections

QStringList T_CatSections::FixedNames(int kind)
{
    switch (kind) {
    case 1:
        return {QStringLiteral("Расчетный листок вида 1 (широкий)"),
            QStringLiteral("Расчетный листок вида 2 (последовательный)"),
            QStringLiteral("Справки о расчетных начислениях"), QStringLiteral("Справки о входных данных"),
            QStringLiteral("Расходные ордера")};
    case 2:
        return {QStringLiteral("Стандартные расчетные ведомости"), QStringLiteral("Справки о начислениях"),
            QStringLiteral("Другие ведомости")};
    case 3:
        return {QStringLiteral("Платежная ведомость на зарплату"), QStringLiteral("Платежная ведомость на аванс"),
            QStringLiteral("Платежная ведомость по начислению"), QStringLiteral("Пустографка")};
    case 4:
        return {QStringLiteral("Справка по должникам"), QStringLiteral("Справка по сумме 0.00"),
            QStringLiteral("Справка по произвольному начислению")};
    case 5:
        return {QStringLiteral("Сальдовая ведомость предприятия"), QStringLiteral("Свод по предприятию"),
            QStringLiteral("Свод по подразделению")};
    default: return {};
    }
}

void T_CatSections::ReadFromIni(TCustomIniFile& ini, int kind)
{
    Kind = kind;
    Items.clear();
    for (const QString& name : FixedNames(kind))
        Items.append({qint32(Items.size() + 1), name, true});
    const QString section = CategoriesSection(kind);
    const int count = ReadCount(ini, section, QLatin1Char('S'));
    for (int i = 0; i < count; ++i)
        Items.append({qint32(Items.size() + 1),
            ini.ReadQuoted(section, QStringLiteral("S") + QString::number(i), QString()), false});
}

void T_CatSections::WriteToIni(TCustomIniFile& ini) const
{
    const QString section = CategoriesSection(Kind);
    ini.EraseSection(section);
    const int fixed = FixedCount();
    ini.WriteInteger(section, QStringLiteral("Count"), int(Items.size()) - fixed);
    for (int i = fixed; i < Items.size(); ++i)
        WriteText(ini, section, QStringLiteral("S") + QString::number(i - fixed), Items[i].Name);
}

int T_CatSections::FixedCount() const
{
    return int(std::count_if(Items.begin(), Items.end(), [](const TCatSection& s) { return s.Fixed; }));
}

int T_CatSections::IndexOf(qint32 number) const
{
    for (int i = 0; i < Items.size(); ++i)
        if (Items[i].Number == number)
            return i;
    return -1;
}

qint32 T_CatSections::Add(const QString& name)
{
    qint32 highest = 0;
    for (const TCatSection& s : Items)
        highest = std::max(highest, s.Number);
    Items.append({highest + 1, name, false});
    return highest + 1;
}

void T_CatSections::Delete(qint32 number, T_VedList& docs)
{
    for (const T_Vedom* doc : docs)
        if (SectionOf(*doc) == number)
            throw EAppException(QStringLiteral("Можно удалить только пустой раздел"));
    const int index = IndexOf(number);
    if (index < 0)
        throw EAppException(QStringLiteral("Раздел не найден"));
    if (Items[index].Fixed)
        throw EAppException(QStringLiteral("Раздел не может быть изменен"));
    Items.removeAt(index);
    for (TCatSection& s : Items)
        if (s.Number > number)
            --s.Number;
    for (T_Vedom* doc : docs)
        if (doc->Category > number)
            --doc->Category;
}

qint32 T_CatSections::SectionOf(const T_Vedom& doc) const
{
    if (IndexOf(doc.Category) >= 0 || Items.isEmpty())
        return doc.Category;
    return Items.front().Number;
}

// ---------------------------------------------------------------- the file

QString CatListFileName()
{
    const QDir dir(TxtDir);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : names)
        if (name.compare(kCatList, Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    return dir.filePath(kCatList);
}

T_Catalogue::T_Catalogue(int kind, const QString& fileName) : Kind(kind), FileName(fileName) {}

void T_Catalogue::Load()
{
    TMemIniFile ini(FileName);
    Sections.ReadFromIni(ini, Kind);
    Docs.ReadFromIni(ini, CategorySection(Kind));
}

void T_Catalogue::Save()
{
    TMemIniFile ini(FileName);
    Sections.WriteToIni(ini);
    Docs.WriteToIni(ini, CategorySection(Kind));
    ini.UpdateFile();
}
