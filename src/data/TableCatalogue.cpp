#include "data/TableCatalogue.h"

#include "db/Tables.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"

#include <iterator>

namespace {

constexpr FieldType ftInteger = FieldType::Integer;
constexpr FieldType ftSmallint = FieldType::Smallint;
constexpr FieldType ftFloat = FieldType::Float;
constexpr FieldType ftDate = FieldType::Date;
constexpr FieldType ftDateTime = FieldType::DateTime;
constexpr FieldType ftBoolean = FieldType::Boolean;
constexpr FieldType ftString = FieldType::String;
constexpr FieldType ftAutoInc = FieldType::AutoInc;
constexpr FieldType ftBlob = FieldType::Blob;

constexpr IndexOptions ixPrimary = IndexOption::Primary | IndexOption::Unique;
constexpr IndexOptions ixPlain = {};
constexpr IndexOptions ixCaseInsensitive = IndexOption::CaseInsensitive;

// 0 SP: departments
constexpr tbField fSP[] = {
    {"NUM", ftInteger, 0, false},
    {"SNUM", ftInteger, 0, false},
    {"NUMPDP", ftInteger, 0, false},
    {"NUMUP", ftInteger, 0, false},
    {"NAIM", ftString, 80, false},
    {"NUMNACH", ftInteger, 0, false},
    {"DELETED", ftBoolean, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iSP[] = {{"", ixPrimary, "NUM"}};

// 1 SR: personnel
constexpr tbField fSR[] = {
    {"TABNUM", ftInteger, 0, false},
    {"PODR", ftInteger, 0, false},
    {"OLDPODR", ftInteger, 0, false},
    {"SNUM", ftInteger, 0, false},
    {"FIO", ftString, 60, false},
    {"TABNOMER", ftString, 10, false},
    {"DATEBEG", ftDate, 0, false},
    {"DATERECEPT", ftDate, 0, false},
    {"DATERELEASE", ftDate, 0, false},
    {"CHECKCHANGE", ftBoolean, 0, false},
    {"DATERAS", ftDate, 0, false},
    {"SUM", ftFloat, 0, false},
    {"FCOMMENT", ftBoolean, 0, false},
    {"CUSER", ftSmallint, 0, false},
    {"POST", ftInteger, 0, false},
    {"CTGR", ftInteger, 0, false},
    {"KSOP", ftSmallint, 0, false},
    {"OKL", ftFloat, 0, false},
    {"AVAN", ftFloat, 0, false},
    {"FS", ftSmallint, 0, false},
    {"MINZARP", ftSmallint, 0, false},
    {"VYCHET", ftFloat, 0, false},
    {"LGOTAPN", ftFloat, 0, false},
    {"CALENDAR", ftSmallint, 0, false},
    {"SPNTABL", ftSmallint, 0, false},
    {"ORDER", ftInteger, 0, false},
    {"ORDERREL", ftInteger, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iSR[] = {{"", ixPrimary, "TABNUM"}, {"PODR", ixPlain, "PODR;SNUM"}};

// 2 SRH: card history
constexpr tbField fSRH[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"TABNUM", ftInteger, 0, false},
    {"DATEBEG", ftDate, 0, false},
    {"PODR", ftInteger, 0, false},
    {"OLDPODR", ftInteger, 0, false},
    {"POST", ftInteger, 0, false},
    {"CTGR", ftInteger, 0, false},
    {"KSOP", ftSmallint, 0, false},
    {"OKL", ftFloat, 0, false},
    {"FS", ftSmallint, 0, false},
    {"MINZARP", ftSmallint, 0, false},
    {"VYCHET", ftFloat, 0, false},
    {"LGOTAPN", ftFloat, 0, false},
    {"CALENDAR", ftSmallint, 0, false},
    {"SPNTABL", ftSmallint, 0, false},
    {"ORDER", ftInteger, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iSRH[] = {{"", ixPrimary, "PRIM"}, {"TABNUM", ixPlain, "TABNUM;DATEBEG"}};

// 3 SRD: permanent accruals
constexpr tbField fSRD[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"TABNUM", ftInteger, 0, false},
    {"DOPNUM", ftInteger, 0, false},
    {"DATEBEG", ftDate, 0, false},
    {"DATEEND", ftDate, 0, false},
    {"SUM", ftFloat, 0, false},
    {"PROC", ftFloat, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iSRD[] = {{"", ixPrimary, "PRIM"}, {"TABNUM", ixPlain, "TABNUM;DOPNUM;DATEBEG"}};

// 4 SRT: card objects
constexpr tbField fSRT[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"TABNUM", ftInteger, 0, false},
    {"TIP", ftSmallint, 0, false},
    {"OWNNUM", ftInteger, 0, false},
    {"INFO", ftBlob, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iSRT[] = {{"", ixPrimary, "PRIM"}, {"TABNUM", ixPlain, "TABNUM;TIP"}};

// 5 KSOP: pay systems
constexpr tbField fKSOP[] = {{"NUM", ftInteger, 0, false}, {"NAIM", ftString, 40, false}};
constexpr tbIndex iKSOP[] = {{"", ixPrimary, "NUM"}};

// 6 POST: posts
constexpr tbField fPOST[]
    = {{"NUM", ftInteger, 0, false}, {"NAIM", ftString, 40, false}, {"USER", ftInteger, 0, false}};
constexpr tbIndex iPOST[] = {{"", ixPrimary, "NUM"}, {"NAIM", ixCaseInsensitive, "NAIM"}};

// 7 CTGR: categories
constexpr tbField fCTGR[]
    = {{"NUM", ftInteger, 0, false}, {"NAIM", ftString, 40, false}, {"USER", ftInteger, 0, false}};
constexpr tbIndex iCTGR[] = {{"", ixPrimary, "NUM"}, {"NAIM", ixCaseInsensitive, "NAIM"}};

// 8 STAFF: staff schedule
constexpr tbField fSTAFF[] = {
    {"NUM", ftInteger, 0, false},
    {"PODR", ftInteger, 0, false},
    {"POST", ftInteger, 0, false},
    {"CTGR", ftInteger, 0, false},
    {"RATEMAX", ftFloat, 0, false},
    {"RATEMIN", ftFloat, 0, false},
    {"VACANCY", ftSmallint, 0, false},
    {"VACBUSY", ftSmallint, 0, false},
    {"KSOP", ftSmallint, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iSTAFF[] = {{"", ixPrimary, "NUM"}, {"PODR", ixPlain, "PODR"}};

// 9 DP: accrual and deduction kinds
constexpr tbField fDP[] = {
    {"DOPNUM", ftInteger, 0, false},
    {"DELETED", ftBoolean, 0, false},
    {"UDER", ftBoolean, 0, false},
    {"SNUM", ftSmallint, 0, false},
    {"NAIM", ftString, 40, false},
    {"DOPNOMER", ftString, 10, false},
    {"DATEBEG", ftDate, 0, false},
    {"BASENUM", ftSmallint, 0, false},
    {"NABOR", ftInteger, 0, false},
    {"TIP", ftSmallint, 0, false},
    {"FRAZOV", ftBoolean, 0, false},
    {"NUMVALUTA", ftSmallint, 0, false},
    {"INDIVID", ftBoolean, 0, false},
    {"NAKOPL", ftBoolean, 0, false},
    {"FDAYCLOCK", ftBoolean, 0, false},
    {"FORMULA", ftSmallint, 0, false},
    {"STADIAF", ftSmallint, 0, false},
    {"STADIAD", ftSmallint, 0, false},
    {"SUM", ftFloat, 0, false},
    {"TABL", ftInteger, 0, false},
    {"FBALANS", ftBoolean, 0, false},
    {"VLIST", ftInteger, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iDP[] = {{"", ixPrimary, "DOPNUM"}, {"NAIM", ixCaseInsensitive, "NAIM"}};

// 10 DPH: history of the kinds
constexpr tbField fDPH[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"DOPNUM", ftInteger, 0, false},
    {"DATEBEG", ftDate, 0, false},
    {"FORMULA", ftSmallint, 0, false},
    {"STADIAF", ftSmallint, 0, false},
    {"STADIAD", ftSmallint, 0, false},
    {"SUM", ftFloat, 0, false},
    {"TABL", ftInteger, 0, false},
    {"FBALANS", ftBoolean, 0, false},
    {"VLIST", ftInteger, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iDPH[] = {{"", ixPrimary, "PRIM"}, {"DOPNUM", ixPlain, "DOPNUM;DATEBEG"}};

// 11 DPT: accrual tables
constexpr tbField fDPT[] = {
    {"NUM", ftInteger, 0, false},
    {"DOPNUM", ftInteger, 0, false},
    {"TIP", ftSmallint, 0, false},
    {"NAIM", ftString, 40, false},
    {"INFO", ftBlob, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iDPT[] = {{"", ixPrimary, "NUM"}};

// 12 DOCUMENT: documents
constexpr tbField fDOCUMENT[] = {
    {"NUM", ftInteger, 0, false},
    {"TIP", ftInteger, 0, false},
    {"ACCESS", ftInteger, 0, false},
    {"NUMDOC", ftString, 20, false},
    {"DATEBEG", ftDate, 0, false},
    {"DATEDOC", ftDate, 0, false},
    {"SNUM", ftInteger, 0, false},
    {"NAIM", ftString, 40, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iDOCUMENT[]
    = {{"", ixPrimary, "NUM"}, {"NAIM", ixCaseInsensitive, "NAIM"}, {"SNUM", ixPlain, "SNUM"}};

// 13 VVOD and 14 VVARC: period input and its archive
constexpr tbField fVVOD[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"TABNUM", ftInteger, 0, false},
    {"DOPNUM", ftInteger, 0, false},
    {"DTIME", ftFloat, 0, false},
    {"SUM", ftFloat, 0, false},
    {"PROC", ftFloat, 0, false},
    {"DATEVV", ftDate, 0, false},
    {"DATEBEG", ftDate, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iVVOD[]
    = {{"", ixPrimary, "PRIM"}, {"TABNUM", ixPlain, "TABNUM;DATEVV"}, {"TABDATE", ixPlain, "TABNUM;DATEBEG"}};

// 15 NC and 16 NCARC: results and their archive (no USER field)
constexpr tbField fNC[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"TABNUM", ftInteger, 0, false},
    {"DOPNUM", ftInteger, 0, false},
    {"UDER", ftBoolean, 0, false},
    {"DATERAS", ftDate, 0, false},
    {"DTIME", ftFloat, 0, false},
    {"SUM", ftFloat, 0, false},
    {"DATEBEG", ftDate, 0, false},
};
constexpr tbIndex iNC[]
    = {{"", ixPrimary, "PRIM"}, {"TABNUM", ixPlain, "TABNUM;DATERAS"}, {"TABDATE", ixPlain, "TABNUM;DATEBEG"}};

// 17 Z13
constexpr tbField fZ13[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"TABNUM", ftInteger, 0, false},
    {"DOPNUM", ftInteger, 0, false},
    {"DATEBEG", ftDateTime, 0, false},
    {"DATEEND", ftDateTime, 0, false},
    {"SUM", ftFloat, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iZ13[] = {{"", ixPrimary, "PRIM"}, {"TABNUM", ixPlain, "TABNUM;DOPNUM"}};

// 18 STN
constexpr tbField fSTN[] = {
    {"NUM", ftInteger, 0, false},
    {"NUMVEDOM", ftInteger, 0, false},
    {"NUMSTATN", ftInteger, 0, false},
    {"NAMESTAT0", ftString, 6, false},
    {"NAMESTAT1", ftString, 60, false},
    {"FLAGITOGO", ftBoolean, 0, false},
    {"USERIN", ftInteger, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iSTN[] = {{"", ixPrimary, "NUM"}, {"NUM", ixPlain, "NUMVEDOM;NUMSTATN"}};

// 19 STI
constexpr tbField fSTI[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"NUM", ftInteger, 0, false},
    {"TABNUM", ftInteger, 0, false},
    {"DOPNUM", ftInteger, 0, false},
};
constexpr tbIndex iSTI[] = {{"", ixPrimary, "PRIM"}, {"NUM", ixPlain, "NUM"}};

// 20 User: users
constexpr tbField fUser[] = {
    {"CUSER", ftSmallint, 0, false},
    {"FIO", ftString, 80, false},
    {"PASSW", ftString, 255, false},
    {"TABNUM", ftInteger, 0, false},
    {"USERUP", ftSmallint, 0, false},
    {"DATEBEG", ftDateTime, 0, false},
};
constexpr tbIndex iUser[] = {{"", ixPrimary, "CUSER"}, {"FIO", ixCaseInsensitive, "FIO"}};

// 21 UserH: sessions
constexpr tbField fUserH[] = {
    {"LOADUSER", ftInteger, 0, false},
    {"CUSER", ftSmallint, 0, false},
    {"DATEBEG", ftDateTime, 0, false},
    {"DATEEND", ftDateTime, 0, false},
};
constexpr tbIndex iUserH[] = {{"", ixPrimary, "LOADUSER"}, {"CUSER", ixPlain, "CUSER;DATEBEG"}};

// 22 UserOp: operations log
constexpr tbField fUserOp[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"LOADUSER", ftInteger, 0, false},
    {"DATEBEG", ftDateTime, 0, false},
    {"OPERATION", ftSmallint, 0, false},
    {"NUMBER", ftInteger, 0, false},
};
constexpr tbIndex iUserOp[] = {{"", ixPrimary, "PRIM"}, {"LOADUSER", ixPlain, "LOADUSER"}};

// 23 Bin: object store
constexpr tbField fBin[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"CLASS", ftSmallint, 0, false},
    {"VID", ftInteger, 0, false},
    {"TIP", ftSmallint, 0, false},
    {"SUBTIP", ftSmallint, 0, false},
    {"DATEBEG", ftDate, 0, false},
    {"DATEEND", ftDate, 0, false},
    {"INFO", ftBlob, 0, false},
    {"USER", ftSmallint, 0, false},
};
constexpr tbIndex iBin[] = {{"", ixPrimary, "PRIM"}, {"INFO", ixPlain, "CLASS;VID;TIP;SUBTIP;DATEBEG"}};

// 24 DOCOUT: output documents
constexpr tbField fDOCOUT[] = {
    {"PRIM", ftAutoInc, 0, false},
    {"VID", ftSmallint, 0, false},
    {"TIP", ftSmallint, 0, false},
    {"NAIM", ftString, 80, false},
    {"DATEBEG", ftDate, 0, false},
    {"INFO", ftBlob, 0, false},
    {"USER", ftSmallint, 0, false},
};
constexpr tbIndex iDOCOUT[] = {{"", ixPrimary, "PRIM"}, {"USER", ixPlain, "VID;TIP;DATEBEG"}};

// 25 PNT: income-tax kinds
constexpr tbField fPNT[] = {{"TIP", ftInteger, 0, false}, {"NAIM", ftString, 40, false}, {"USER", ftInteger, 0, false}};
constexpr tbIndex iPNT[] = {{"", ixPrimary, "TIP"}};

// 26 PN: income-tax scales
constexpr tbField fPN[] = {
    {"NUM", ftInteger, 0, false},
    {"TIP", ftInteger, 0, false},
    {"DATEBEG", ftDate, 0, false},
    {"FYEAR", ftBoolean, 0, false},
    {"YEARBEG", ftDate, 0, false},
    {"YEAREND", ftDate, 0, false},
    {"METOD", ftSmallint, 0, false},
    {"KMINZP", ftSmallint, 0, false},
    {"SUMMINZP", ftFloat, 0, false},
    {"SUM", ftFloat, 0, false},
    {"CURSVALUT", ftFloat, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iPN[] = {{"", ixPrimary, "NUM"}, {"TIP", ixPlain, "TIP;DATEBEG"}};

// 27 PNL: scale lines, keyed by scale and amount
constexpr tbField fPNL[] = {
    {"NUM", ftInteger, 0, false},
    {"SUM", ftFloat, 0, false},
    {"SUMNAL", ftFloat, 0, false},
    {"PROC", ftFloat, 0, false},
    {"USER", ftInteger, 0, false},
};
constexpr tbIndex iPNL[] = {{"", ixPrimary, "NUM;SUM"}};

// 28 ADD: one counter row
constexpr tbField fADD[] = {{"COUNT", ftInteger, 0, false}, {"USER", ftSmallint, 0, false}};
constexpr tbIndex iADD[] = {{"", ixPrimary, "COUNT"}};

struct TableEntry {
    const char* name;
    const tbField* fields;
    int fieldCount;
    const tbIndex* indexes;
    int indexCount;
};

template <size_t NF, size_t NI>
constexpr TableEntry Entry(const char* name, const tbField (&fields)[NF], const tbIndex (&indexes)[NI])
{
    return TableEntry{name, fields, int(NF), indexes, int(NI)};
}

constexpr TableEntry kTables[TableCount] = {
    Entry("SP", fSP, iSP),
    Entry("SR", fSR, iSR),
    Entry("SRH", fSRH, iSRH),
    Entry("SRD", fSRD, iSRD),
    Entry("SRT", fSRT, iSRT),
    Entry("KSOP", fKSOP, iKSOP),
    Entry("POST", fPOST, iPOST),
    Entry("CTGR", fCTGR, iCTGR),
    Entry("STAFF", fSTAFF, iSTAFF),
    Entry("DP", fDP, iDP),
    Entry("DPH", fDPH, iDPH),
    Entry("DPT", fDPT, iDPT),
    Entry("DOCUMENT", fDOCUMENT, iDOCUMENT),
    Entry("VVOD", fVVOD, iVVOD),
    Entry("VVARC", fVVOD, iVVOD),
    Entry("NC", fNC, iNC),
    Entry("NCARC", fNC, iNC),
    Entry("Z13", fZ13, iZ13),
    Entry("STN", fSTN, iSTN),
    Entry("STI", fSTI, iSTI),
    Entry("User", fUser, iUser),
    Entry("UserH", fUserH, iUserH),
    Entry("UserOp", fUserOp, iUserOp),
    Entry("Bin", fBin, iBin),
    Entry("DOCOUT", fDOCOUT, iDOCOUT),
    Entry("PNT", fPNT, iPNT),
    Entry("PN", fPN, iPN),
    Entry("PNL", fPNL, iPNL),
    Entry("ADD", fADD, iADD),
};

bool ValidNumber(int number) { return number >= 0 && number < TableCount; }

} // namespace

// ---------------------------------------------------------------- TTableStructure

TTableStructure::TTableStructure(TTableStructures* owner, int number) : owner_(owner), number_(number)
{
    if (!ValidNumber(number))
        throw EAppException(QStringLiteral("Нет описания структуры: %1").arg(number));
}

QString TTableStructure::Name() const { return QString::fromLatin1(kTables[number_].name); }

const tbField* TTableStructure::Fields() const { return kTables[number_].fields; }

int TTableStructure::FieldCount() const { return kTables[number_].fieldCount; }

const tbIndex* TTableStructure::Indexes() const { return kTables[number_].indexes; }

int TTableStructure::IndexCount() const { return kTables[number_].indexCount; }

TableDef TTableStructure::Definition() const
{
    TableDef def;
    def.name = Name();
    for (int i = 0; i < FieldCount(); ++i) {
        const tbField& f = Fields()[i];
        def.fields << FieldDef{QString::fromLatin1(f.Name), f.DataType, f.Size, f.Required};
    }
    for (int i = 0; i < IndexCount(); ++i) {
        const tbIndex& x = Indexes()[i];
        def.indexes << IndexDef{QString::fromLatin1(x.Name), x.Options, QString::fromLatin1(x.Fields)};
    }
    return def;
}

void TTableStructure::CreateTable(const QString& folder, bool withSecondaryIndexes) const
{
    Tables::Create(Definition(), folder, withSecondaryIndexes);
}

// ---------------------------------------------------------------- TTableStructures

TTableStructures::TTableStructures()
{
    for (int i = 0; i < TableCount; ++i)
        items_.push_back(std::make_unique<TTableStructure>(this, i));
}

const TTableStructure& TTableStructures::Items(int number) const
{
    if (!ValidNumber(number))
        throw EAppException(QStringLiteral("Нет описания структуры: %1").arg(number));
    return *items_[size_t(number)];
}

int TTableStructures::NumberOf(const QString& tableName) const
{
    for (int i = 0; i < TableCount; ++i) {
        if (tableName.compare(QLatin1String(kTables[i].name), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

TTableStructures& TableStructures()
{
    static TTableStructures structures;
    return structures;
}

bool GetTableDescription(
    int number, QString& name, const tbField*& fields, int& fieldCount, const tbIndex*& indexes, int& indexCount)
{
    if (!ValidNumber(number)) {
        ShowError(QStringLiteral("Нет описания структуры: ") + QString::number(number));
        return false;
    }
    const TableEntry& t = kTables[number];
    name = QString::fromLatin1(t.name);
    fields = t.fields;
    fieldCount = t.fieldCount;
    indexes = t.indexes;
    indexCount = t.indexCount;
    return true;
}

QString TableCaption(const QString& tableName)
{
    static const char* const kCaptions[TableCount] = {"подразделения", "карточки работников", "история карточек",
        "постоянные начисления", "комментарии карточек", "системы оплаты", "должности", "категории",
        "штатное расписание", "справочник начислений и удержаний", "история начислений и удержаний",
        "таблицы начислений", "документы", "входные данные месяца", "архив входных данных", "результаты расчета месяца",
        "архив результатов расчета", "данные документов", "столбцы ведомостей", "состав столбцов ведомостей",
        "пользователи", "сеансы пользователей", "журнал операций",
        "календари, формулы, расчетные ведомости и таблицы расчета", "выходные документы", "виды подоходного налога",
        "шкалы подоходного налога", "строки шкал подоходного налога", "служебный счетчик"};
    const int number = TableStructures().NumberOf(tableName);
    return number < 0 ? tableName : QString::fromUtf8(kCaptions[number]);
}
