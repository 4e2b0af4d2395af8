#include "foundation/IniPersist.h"
#include "foundation/IniFiles.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"

#include <algorithm>

bool IniSavingEnabled = false;

namespace {

TIniFile* g_programIni = nullptr;
QString g_programIniName;

const QString kCrLf = QStringLiteral("\r\n");

[[noreturn]] void UnknownType(const QString& key)
{
    throw Exception(QStringLiteral("Неизвестный тип переменной: ") + key);
}

// No list the program keeps comes near this many lines: a larger "Count"
// is damage, and believing it would fill memory with empty lines.
constexpr int kMaxIniStrings = 65536;

// 1 + the highest line key ("S" and a number) the section holds; 0 when none.
int LinesHeld(TCustomIniFile& ini, const QString& section)
{
    QStringList lines;
    ini.ReadSectionValues(section, lines);
    int held = 0;
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 2 || line[0].toUpper() != QLatin1Char('S'))
            continue;
        const QString digits = line.mid(1, eq - 1);
        bool ok = false;
        const int n = digits.toInt(&ok);
        if (ok && n >= 0 && n < kMaxIniStrings && QString::number(n) == digits)
            held = std::max(held, n + 1);
    }
    return held;
}

QString NameOf(const VarDesc& d) { return QString::fromUtf8(d.Name ? d.Name : ""); }

bool KnownKind(char kind)
{
    switch (kind) {
    case 'B':
    case 'C':
    case 'S':
    case 'D':
    case 'I':
    case 'N': return true;
    default: return false;
    }
}

// The variable behind a descriptor, checked against its letter.
template <typename T> T& Target(const VarDesc& d)
{
    T* const* p = std::get_if<T*>(&d.Address);
    if (!p || !*p)
        UnknownType(NameOf(d));
    return **p;
}

Variant ValueOf(const VarDesc& d)
{
    switch (d.Kind) {
    case 'B': return Variant(Target<bool>(d));
    case 'C':
    case 'S': return Variant(Target<QString>(d));
    case 'D': return Variant::FromDate(Target<double>(d));
    case 'I': return Variant(static_cast<int>(Target<qint32>(d)));
    case 'N': return Variant(Target<double>(d));
    default: UnknownType(NameOf(d));
    }
}

void Store(const VarDesc& d, const Variant& v)
{
    switch (d.Kind) {
    case 'B': Target<bool>(d) = v.AsBoolean(); break;
    case 'C':
    case 'S': Target<QString>(d) = v.AsString(); break;
    case 'D': Target<double>(d) = v.AsDate(); break;
    case 'I': Target<qint32>(d) = v.AsInteger(); break;
    case 'N': Target<double>(d) = v.AsDouble(); break;
    default: UnknownType(NameOf(d));
    }
}

QString KindText(char kind) { return QString(QChar::fromLatin1(kind)); }

QString Quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

} // namespace

void WriteIniValue(TCustomIniFile& ini, const QString& section, const QString& key, const Variant& value)
{
    if (!IniSavingEnabled)
        return;
    switch (value.Type()) {
    case VarType::Boolean: ini.WriteBool(section, key, value.AsBoolean()); break;
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Byte: ini.WriteInteger(section, key, value.AsInteger()); break;
    case VarType::Int64: ini.WriteString(section, key, IntToStr(value.AsInt64())); break;
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency: ini.WriteQuoted(section, key, FloatToStr(value.AsDouble())); break;
    case VarType::Date: ini.WriteDate(section, key, value.AsDate()); break;
    case VarType::String: ini.WriteQuoted(section, key, value.AsString()); break;
    default: UnknownType(key);
    }
}

void ReadIniValue(
    TCustomIniFile& ini, const QString& section, const QString& key, Variant& result, const Variant& def, char kind)
{
    switch (QChar::fromLatin1(kind).toUpper().toLatin1()) {
    case 'B': result = Variant(ini.ReadBool(section, key, def.AsBoolean())); return;
    case 'D': result = Variant::FromDate(ini.ReadDate(section, key, def.AsDate())); return;
    case 'I': result = Variant(ini.ReadInteger(section, key, def.AsInteger())); return;
    case 'C':
    case 'S':
    case 'N': {
        const QString s = ini.ReadQuoted(section, key, QString());
        if (s.isEmpty())
            result = def;
        else if (QChar::fromLatin1(kind).toUpper() == QLatin1Char('N'))
            result = Variant(StrToFloat(s));
        else
            result = Variant(s);
        return;
    }
    default: UnknownType(key);
    }
}

void SaveIniStrings(TCustomIniFile& ini, const QString& section, const QStringList& strings, int index)
{
    ini.EraseSection(section);
    ini.WriteInteger(section, QStringLiteral("Count"), static_cast<int>(strings.size()));
    ini.WriteInteger(section, QStringLiteral("Index"), index);
    for (qsizetype i = 0; i < strings.size(); ++i)
        ini.WriteQuoted(section, QStringLiteral("S%1").arg(i), strings[i]);
}

void RestIniStrings(TCustomIniFile& ini, const QString& section, QStringList* strings, int& index)
{
    if (!strings)
        RaiseError(QStringLiteral("RestIniStrings"));
    int count = ini.ReadInteger(section, QStringLiteral("Count"), 0);
    index = ini.ReadInteger(section, QStringLiteral("Index"), 0);
    if (count > kMaxIniStrings)
        count = LinesHeld(ini, section);
    QStringList out;
    for (int i = 0; i < count; ++i)
        out.append(ini.ReadQuoted(section, QStringLiteral("S%1").arg(i), QString()));
    // An index off the list would select a line that is not there.
    if (index < -1 || index >= out.size())
        index = 0;
    *strings = out;
}

void SaveIniSection(TCustomIniFile& ini, const QString& section, VarTable vars)
{
    if (!IniSavingEnabled)
        return;
    ini.EraseSection(section);
    for (const VarDesc& d : vars) {
        const QString name = NameOf(d);
        if (!KnownKind(d.Kind)) {
            ShowError(QStringLiteral("SaveIniSection: |Неизвестный тип [") + KindText(d.Kind) + QLatin1Char(']') + kCrLf
                + QStringLiteral(" переменной ") + Quoted(name));
            continue;
        }
        try {
            WriteIniValue(ini, section, name, ValueOf(d));
        } catch (const std::exception&) {
            ShowError(QStringLiteral("SaveIniSection: |Ошибка при сохранении переменной") + kCrLf + QLatin1Char('[')
                + KindText(d.Kind) + QStringLiteral("] ") + Quoted(name));
        }
    }
}

void RestIniSection(TCustomIniFile& ini, const QString& section, VarTable vars)
{
    for (const VarDesc& d : vars) {
        const QString name = NameOf(d);
        QString error;
        try {
            Variant value;
            ReadIniValue(ini, section, name, value, ValueOf(d), d.Kind);
            Store(d, value);
            continue;
        } catch (const Exception& e) {
            error = e.Message();
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        ShowError(QStringLiteral("RestIniSection: ") + EscapeBars(error)
            + QStringLiteral("|Ошибка при инициализации переменной") + kCrLf + QLatin1Char('[') + KindText(d.Kind)
            + QStringLiteral("] ") + Quoted(name));
    }
}

// ---------------------------------------------------------------- the program INI

QString GetExeDir() { return ProgramFolder(); }

QString GetExeBaseName() { return ProgramName(); }

QString GetIniFileName() { return GetExeDir() + GetExeBaseName() + QStringLiteral(".ini"); }

TIniFile& ProgramIni()
{
    // Tests move the program folder; the program itself never does.
    const QString name = GetIniFileName();
    if (g_programIni && g_programIniName != name)
        CloseProgramIni();
    if (!g_programIni) {
        g_programIni = new TIniFile(name);
        g_programIniName = name;
    }
    return *g_programIni;
}

void CloseProgramIni()
{
    delete g_programIni;
    g_programIni = nullptr;
}

void WriteProgramIniValue(const QString& section, const QString& key, const Variant& value)
{
    WriteIniValue(ProgramIni(), section, key, value);
}

void ReadProgramIniValue(const QString& section, const QString& key, Variant& result, const Variant& def, char kind)
{
    ReadIniValue(ProgramIni(), section, key, result, def, kind);
}

void SaveProgramIniStrings(const QString& section, const QStringList& strings, int index)
{
    if (IniSavingEnabled)
        SaveIniStrings(ProgramIni(), section, strings, index);
}

void RestProgramIniStrings(const QString& section, QStringList* strings, int& index)
{
    RestIniStrings(ProgramIni(), section, strings, index);
}

void SaveProgramIniSection(const QString& section, VarTable vars) { SaveIniSection(ProgramIni(), section, vars); }

void RestProgramIniSection(const QString& section, VarTable vars) { RestIniSection(ProgramIni(), section, vars); }

void SaveConfigurationSection(VarTable vars) { SaveProgramIniSection(QStringLiteral("Configuration"), vars); }

void RestConfigurationSection(VarTable vars) { RestProgramIniSection(QStringLiteral("Configuration"), vars); }
