#pragma once
// The document catalogue: descriptors of the clerk's output documents
// (T_Vedom), filed under numbered sections of five document kinds, all in
// one INI file "CatList.cfg" of the text folder. For kind k:
//   [Categories<k>]  Count, S0, S1, ...  the user-made sections
//   [Category<k>]    Count, I0Name, I0Num, ... the descriptors
// Sections are numbered by position: the kind's fixed sections 1..F, then
// the user-made ones F+1, F+2, ... in file order; a descriptor's Category
// holds that number.
//
//   T_Catalogue cat(2);                 // pay sheets
//   cat.Load();                         // from CatListFileName()
//   cat.Docs.AddVedom()->Category = 1;
//   cat.Save();

#include "foundation/TypeList.h"

#include <QList>
#include <QString>
#include <QStringList>

class TCustomIniFile;

// Which employees a document takes by the amount to pay.
enum TVedCond : quint8 { vcAll = 0, vcNonZero = 1, vcPositive = 2, vcNegative = 3, vcZero = 4 };

class T_Vedom : public TObject {
public:
    qint32 Num = 0;
    QString Name;
    qint32 Tip = 0; // forming algorithm: kind * 10 + variant
    QString Template; // relative to the text folder
    qint32 Category = 0; // section number
    qint32 RVNum = -1; // pay-sheet definition; -1 none
    quint8 Cond = vcAll;
    bool VedRnd = false; // the settings' money rounding instead of kopecks

    // The eight keys, each name after the prefix. Texts lose one pair of
    // surrounding quotes; a Cond outside 0..4 reads as 0.
    void ReadFromIni(TCustomIniFile& ini, const QString& section, const QString& prefix);
    // Name, Num, Tip, Category, Template, RVNum, Cond, VedRnd. Texts are
    // written plainly, quoted only when the reader would take a pair off,
    // without NULs.
    void WriteToIni(TCustomIniFile& ini, const QString& section, const QString& prefix) const;
    void Assign(const T_Vedom& source);
    // The template's file name without its folders ('\' or '/'), by the
    // templates' name rule (DcfFileName).
    QString TemplateFileName() const;
};

// The descriptors of one document kind, in file order.
class T_VedList : public T_yqOwnerListOf<T_Vedom> {
public:
    T_VedList() = default;
    ~T_VedList() override;

    // "Count", then the descriptors "I0..." on. A Count beyond the last
    // index the section holds, or beyond its number of keys, is cut there:
    // a damaged count makes no empty descriptors.
    void ReadFromIni(TCustomIniFile& ini, const QString& section);
    // Erases the section; "Count", then each descriptor, indices from 0.
    void WriteToIni(TCustomIniFile& ini, const QString& section) const;
    T_Vedom* AddVedom();
    T_Vedom* GetVedom(int index) const { return Item(index); }
};

// A forming algorithm as the catalogue refers to it.
class T_Algorythm : public TObject {
public:
    T_Algorythm() = default;
    T_Algorythm(qint32 number, const QString& name, const QString& prototype, bool usesRasVed, quint8 kind)
        : Number(number), Name(name), Prototype(prototype), UsesRasVed(usesRasVed), Kind(kind)
    {
    }

    qint32 Number = 0; // kind * 10 + variant
    QString Name;
    QString Prototype; // name of the prototype document
    bool UsesRasVed = false;
    quint8 Kind = 0;

    int Variant() const { return Number % 10; }
};

class T_AlgorythmList : public T_yqOwnerListOf<T_Algorythm> {
public:
    T_AlgorythmList() = default;
    ~T_AlgorythmList() override;
    // nullptr when none has the number.
    T_Algorythm* Find(qint32 number) const;
};

// The document kinds of the catalogue (not the algorithm kinds).
inline constexpr int kFirstDocKind = 1;
inline constexpr int kLastDocKind = 5;

struct TCatSection {
    qint32 Number = 0;
    QString Name;
    bool Fixed = false;
};

// The sections of one document kind: the fixed ones, then the user-made.
class T_CatSections {
public:
    // The kind's fixed sections in order; none for an unknown kind.
    static QStringList FixedNames(int kind);

    int Kind = 0;
    QList<TCatSection> Items;

    // The fixed sections, then "Categories"+Kind.
    void ReadFromIni(TCustomIniFile& ini, int kind);
    // Erases "Categories"+Kind; "Count", then S0.. for the user-made ones.
    void WriteToIni(TCustomIniFile& ini) const;

    int FixedCount() const;
    // Index in Items, -1 when none has the number.
    int IndexOf(qint32 number) const;
    // A new user section after the last, numbered one above the highest.
    qint32 Add(const QString& name);
    // Removes an empty user section. Refused with "Можно удалить только
    // пустой раздел", "Раздел не найден" or "Раздел не может быть изменен".
    // The sections after it move down one number, and so do the Category
    // of the documents filed under them, so each stays in its section once
    // the file is read again.
    void Delete(qint32 number, T_VedList& docs);
    // The section a document is shown under: its Category, or the first
    // section when it names none (it would otherwise vanish from view).
    qint32 SectionOf(const T_Vedom& doc) const;
};

// "CatList.cfg" in the text folder, its letter case as the folder has it.
QString CatListFileName();

// One document kind of the catalogue file.
class T_Catalogue {
public:
    explicit T_Catalogue(int kind, const QString& fileName = CatListFileName());

    int Kind;
    QString FileName;
    T_CatSections Sections;
    T_VedList Docs;

    // The sections and the descriptors of the kind.
    void Load();
    // Writes both back and the file out.
    void Save();
};
