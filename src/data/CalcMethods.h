#pragma once
// Calculation methods of the accrual and deduction kinds, the pay systems,
// the small BLOB codecs of integer lists and texts, the sort orders of
// personnel cards and accrual kinds, and the dismissed employees' group.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <iterator>

class T_yqIntegerList;

// A text with a number: one line of a combo box or a list.
struct TStringItem {
    QString Text;
    qint64 Object = 0;
    friend bool operator==(const TStringItem&, const TStringItem&) = default;
};
using TStringItems = QList<TStringItem>;

// One calculation method: its code, the formula shown to the clerk, and the
// inputs it uses.
struct TCalcMethodInfo {
    quint16 Code;
    const char* Name; // UTF-8
    bool FTime; // worked time is entered
    bool FValue; // a value is entered
    bool FPercent; // the value is a percent
    bool FBase; // the base sum comes from the kind's accrual table
    QString NameText() const { return QString::fromUtf8(Name); }
};

enum : quint16 {
    cmUserFormula = 64, // the kind's user formula
    cmRtTable = 4097, // the kind's calculation tables
};

// Listed in the order the clerk sees them. Code 197 stands twice; a lookup
// by code finds the first row.
inline constexpr TCalcMethodInfo AccrualCalcMethods[] = {
    {1, "Сн=См", false, true, false, false},
    {2, "Сн=(Тф/Тб)*См", false, true, false, false},
    {4, "Сн=(Тф/Тб)*См (Тф<=Тб)", false, true, false, false},
    {3, "Сн=Тф*Дс", false, true, false, false},
    {64, "Формула пользователя", true, true, true, true},
    {4097, "Расчет по таблице (ПН)", true, true, true, true},
    {65, "Сн=Т*Дс", true, true, false, false},
    {67, "Сн=Т(дни)*Дс", true, false, false, false},
    {66, "Сн=(Т/Тб)*См", true, true, false, false},
    {197, "Сн=Т*Фс", true, false, false, true},
    {129, "Сн=(%)*ВН", false, true, true, true},
    {132, "Сн=(%)*Оклад", false, true, true, false},
    {133, "См=(Тф/Тб)*(%)*Оклад", false, true, true, false},
    {134, "См=(Тф)*(%)*Ос", false, true, true, false},
    {130, "Сн=(Тф-Тб)*(%)*Ос", false, true, true, false},
    {131, "См=(Тф-Тб)*(%)*Фс", false, true, true, true},
    {193, "Сн=Т*(%)*Ос", true, true, true, false},
    {194, "Сн=Т*(%)*Фс", true, true, true, true},
    {197, "Сн=Т*(100%)*Фс", true, false, false, true},
    {198, "Сн=Т*(200%)*Фс", true, false, false, true},
    {199, "Сн=Т*(100%)*Ос", true, false, false, false},
    {200, "Сн=Т*(200%)*Ос", true, false, false, false},
};
static_assert(std::size(AccrualCalcMethods) == 22);

inline constexpr TCalcMethodInfo DeductionCalcMethods[] = {
    {1, "Су=См", false, true, false, false},
    {129, "Су=(%)*ВН", false, true, true, true},
    {130, "Су=(%)*(ВН-Нл)", false, true, true, true},
    {131, "Су=(%)*(ВН-ВУ)", false, true, true, true},
    {64, "Формула пользователя", false, true, true, true},
    {4097, "Расчет по таблице (ПН)", false, true, true, true},
};
static_assert(std::size(DeductionCalcMethods) == 6);

// The card's KSOP value is the index.
inline constexpr const char* PaySystemNames[] = {"По окладам", "Повременная", "Сдельная"};

// The first row with the code in the accrual (or the deduction) table; nullptr when none.
const TCalcMethodInfo* FindCalcMethod(int code, bool accrual);
// Its name, or "Формула не найдена".
QString GetCalcMethodName(int code, bool accrual);
// "???" with 0, then every row of the table in order with its code.
void FillCalcMethods(TStringItems& items, bool accrual);
// The pay-system names in index order.
void FillPaySystems(QStringList& strings);

// ---------------------------------------------------------------- BLOB codecs

// Little-endian int32 count, then the items.
void WriteIntegerListBlob(QByteArray& blob, const T_yqIntegerList& list);
// Clears the list; a BLOB under 8 bytes is an empty list. A count that
// disagrees with the size raises EAppException "Ошибка данных таблицы"
// before any item is read.
void ReadIntegerListBlob(const QByteArray& blob, T_yqIntegerList& list);

// Little-endian int32 byte length, then the CP1251 bytes, no terminator.
void WriteTextBlob(QByteArray& blob, const QString& text);
// An empty BLOB is the empty text; a length that disagrees with the size
// raises EAppException "Ошибка чтения текста из BLOB поля".
QString ReadTextBlob(const QByteArray& blob);

// ---------------------------------------------------------------- employees

// Marks the employee as not calculated: DATERAS of his SR row becomes 0.
// Raises EAppException "Табельный номер №N в справочнике не найден" when
// SR has no such row. Inside a transaction on SR it writes through it.
void ResetCalcDate(qint32 tabn);

// ---------------------------------------------------------------- sort orders

// What the sort of personnel cards looks at.
struct TTabnSortKey {
    qint32 TabNum = 0;
    QString Fio;
    qint32 SNum = 0;
};
// Mode 1 by personnel number, 2 by name (letter case ignored), 3 by the
// display order; ties by display order, then by name. <0, 0, >0.
int CompareTabn(const TTabnSortKey& a, const TTabnSortKey& b, int mode);

// What the sort of accrual kinds looks at.
struct TDopSortKey {
    bool Uder = false; // a deduction
    qint32 DopNum = 0;
    QString Name;
    qint32 SNum = 0;
    qint32 Tip = 0;
    qint32 StadiaF = 0;
};
// Accruals before deductions in every mode; then mode 1 by number, 2 by
// name, 3 by display order, 4 by TIP when both lie in 1..3 and then by the
// calculation stage; ties by display order, then by name.
int CompareDops(const TDopSortKey& a, const TDopSortKey& b, int mode);

// Names compared as the clerk reads them: letter case ignored, "Ё" beside "Е".
int CompareTextIgnoreCase(const QString& a, const QString& b);

// ---------------------------------------------------------------- dismissed employees

// The group of dismissed employees shown under each enterprise: NUM, SNUM
// and NUMNACH hold this number, NUMUP 0. It is never stored.
constexpr qint32 DismissedGroupNum = 2147483646;
inline QString DismissedGroupName() { return QStringLiteral("Уволенные"); }
