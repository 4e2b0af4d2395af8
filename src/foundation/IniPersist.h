#pragma once
// Program variables bound to INI keys. A caller describes a group of
// variables once, in a table of descriptors, and saves or restores the
// whole group in one section. None of these routines flushes the file: the
// caller calls UpdateFileIfIdle, or relies on the file object's end.

#include "platform/DateTime.h"
#include "platform/Variant.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

class TCustomIniFile;
class TIniFile;

// False until start-up has completed and again after a fatal error while
// terminating; the writing routines do nothing while it is False.
extern bool IniSavingEnabled;

// One variable: the key, the type letter and the variable.
//   B bool, C and S QString, D TDateTime (only the date is stored),
//   I qint32, N double.
// D and N both point at a double (TDateTime is one).
struct VarDesc {
    const char* Name; // at most 20 characters
    char Kind;
    std::variant<bool*, QString*, qint32*, double*> Address;
};
using VarTable = std::span<const VarDesc>;

// True when the letter is known and the variable's type fits it; tables can
// be checked at compile time: static_assert(VarTableValid(table)).
constexpr bool VarDescValid(const VarDesc& d)
{
    if (!d.Name || !d.Name[0])
        return false;
    std::size_t n = 0;
    while (d.Name[n])
        ++n;
    if (n > 20)
        return false;
    switch (d.Kind) {
    case 'B': return std::holds_alternative<bool*>(d.Address) && std::get<bool*>(d.Address);
    case 'C':
    case 'S': return std::holds_alternative<QString*>(d.Address) && std::get<QString*>(d.Address);
    case 'I': return std::holds_alternative<qint32*>(d.Address) && std::get<qint32*>(d.Address);
    case 'D':
    case 'N': return std::holds_alternative<double*>(d.Address) && std::get<double*>(d.Address);
    default: return false;
    }
}

template <std::size_t N> constexpr bool VarTableValid(const VarDesc (&table)[N])
{
    for (const VarDesc& d : table)
        if (!VarDescValid(d))
            return false;
    return true;
}

// Writes by the Variant's type; nothing while IniSavingEnabled is False.
// Raises Exception "Неизвестный тип переменной: <key>" for Empty, Null and
// other types it cannot store.
void WriteIniValue(TCustomIniFile& ini, const QString& section, const QString& key, const Variant& value);
// Reads by type letter (upper-cased first); an empty stored text gives def.
void ReadIniValue(
    TCustomIniFile& ini, const QString& section, const QString& key, Variant& result, const Variant& def, char kind);

// "Count", "Index" and one quoted key per line "S0", "S1", ...
void SaveIniStrings(TCustomIniFile& ini, const QString& section, const QStringList& strings, int index);
// Exactly "Count" lines, empty where a key is missing; a count beyond any
// real list is damage and gives the lines the section holds. An "Index"
// outside -1 .. lines-1 gives 0. Raises EAppException "RestIniStrings"
// when strings is nullptr.
void RestIniStrings(TCustomIniFile& ini, const QString& section, QStringList* strings, int& index);

// Erases the section and writes every variable; a variable that fails is
// reported and the others are still saved. Nothing while IniSavingEnabled is False.
void SaveIniSection(TCustomIniFile& ini, const QString& section, VarTable vars);
// Reads every variable (whatever the switch); a variable that fails is
// reported and keeps its value.
void RestIniSection(TCustomIniFile& ini, const QString& section, VarTable vars);

// The program folder with a trailing "/", the program's base name, and the
// program INI beside it ("qor.ini").
QString GetExeDir();
QString GetExeBaseName();
QString GetIniFileName();
// The program INI, opened on first use and kept until CloseProgramIni
// (which the shutdown calls; it writes a changed image).
TIniFile& ProgramIni();
void CloseProgramIni();

void WriteProgramIniValue(const QString& section, const QString& key, const Variant& value);
void ReadProgramIniValue(const QString& section, const QString& key, Variant& result, const Variant& def, char kind);
// Nothing while IniSavingEnabled is False (unlike SaveIniStrings).
void SaveProgramIniStrings(const QString& section, const QStringList& strings, int index);
void RestProgramIniStrings(const QString& section, QStringList* strings, int& index);
void SaveProgramIniSection(const QString& section, VarTable vars);
void RestProgramIniSection(const QString& section, VarTable vars);
// The program INI's section "Configuration".
void SaveConfigurationSection(VarTable vars);
void RestConfigurationSection(VarTable vars);
