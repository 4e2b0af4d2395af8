#pragma once
// Memory-variable files (".MEM") of the DOS predecessor: its settings,
// counters and small tables as named, typed values that the imports look up
// by name.
//
// A file is a sequence of records, each a 32-byte header and the value:
//   0   11  name, NUL-terminated (at most 10 characters are taken)
//   11  1   type letter, top bit ignored: C, D, L, N
//   16  1   C: length, low byte
//   17  1   C: length, high byte; N: number of decimals
// C: the text in CP866, its NUL counted in the length; D: a double Julian
// day; L: one byte, non-zero is true; N: a double.

#include "foundation/Stream.h"
#include "foundation/TypeList.h"
#include "platform/Variant.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// One variable. VarType: 'A' array, 'B' boolean, 'C' string, 'D' date,
// 'I' integer, 'N' float.
struct TClipperMemVar {
    QString Name; // upper case
    char VarType = 0;
    Variant Value;
    // The held object of an 'A' variable.
    std::unique_ptr<TObject> Array;
};

class TClipperMVA : public TObject {
public:
    TClipperMVA() = default;
    TClipperMVA(const TClipperMVA&) = delete;
    TClipperMVA& operator=(const TClipperMVA&) = delete;
    ~TClipperMVA() override;

    // Off: the first entry whose name equals the upper-cased query in any
    // letter case. On: the last entry equal to it letter for letter.
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool on) { caseSensitive_ = on; }

    // -1 when absent.
    int IndexOf(const QString& name) const;
    // Raises EAppException "MemVar "name" not found".
    Variant GetValue(const QString& name) const;
    // The type letter follows the value (Boolean B; Single, Double,
    // Currency N; Date D; Smallint, Integer, Byte I; String C); any other
    // type raises EConvertError "Unknown VarType: name" and changes nothing.
    // Null removes the variable; a new name goes to the end.
    void SetValue(const QString& name, const Variant& value);

    int Count() const { return static_cast<int>(items_.size()); }
    // An index outside 0..Count-1 raises EListError "Index out of range".
    const TClipperMemVar& Items(int index) const;
    const Variant& Values(int index) const { return Items(index).Value; }
    // The held object; a variable other than 'A' raises EAppException
    // "MemVar "name" is'not array". Files and SetValue never make one.
    TObject* Arrays(int index) const;
    TObject* ArrayByName(const QString& name) const;

    void Clear() { items_.clear(); }

private:
    const TClipperMemVar& Found(const QString& name) const;

    std::vector<std::unique_ptr<TClipperMemVar>> items_;
    bool caseSensitive_ = false;
};

using TClipperMemVarList = TClipperMVA;

// The program-wide list, made on first use.
TClipperMemVarList& ClipperMemVarList();

// Every record goes into the list through SetValue. Reading stops quietly
// at a header or a value cut by the end of the data (the values before it
// stay); an unknown type letter raises EAppException
// "Unknown Clipper MemoVar "name"; Type: "letter"" and nothing after it is
// read. A file that cannot be opened raises EFOpenError.
void LoadClipperMemFile(const QString& fileName, TClipperMVA& list);
// The same from the stream's position, and from bytes in memory.
void LoadClipperMemStream(TStream& stream, TClipperMVA& list);
void LoadClipperMemBytes(const QByteArray& bytes, TClipperMVA& list);
