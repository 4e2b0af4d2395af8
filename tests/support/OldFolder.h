#pragma once
// A synthetic folder of the DOS predecessor, written by the test writers
// (shapelib's for the tables, never the program's readers): file names in
// mixed letter case, a deleted row, CP866 texts, unknown NC files.
// Importing it shows two messages: "Неопознанный файл начислений:|
// NC199913.DBF" and the same for NC9905.DBF.

#include "platform/Codec.h"
#include "support/OldFiles.h"

#include <QDir>

inline QByteArray Oem(const char* utf8) { return ToCp866(QString::fromUtf8(utf8)); }

inline const std::vector<DbfColumn> kSr = {{"TABN", 'N', 5}, {"COD", 'N', 3}, {"FDELETED", 'L', 1}, {"FIO", 'C', 20},
    {"TABNOMER", 'C', 5}, {"KSOP", 'N', 1}, {"OKL", 'N', 9, 2}, {"AVAN", 'N', 9, 2}, {"MINZARP", 'C', 1},
    {"VYCHET", 'N', 5}, {"LGOTAPN", 'N', 5}, {"CALENDAR", 'N', 2}, {"SPNTABL", 'N', 1}, {"DOPL1", 'C', 3},
    {"SUM1", 'N', 7}, {"DOPL2", 'C', 3}, {"SUM2", 'N', 7}, {"DOPL3", 'C', 3}, {"SUM3", 'N', 7}, {"DOPL4", 'C', 3},
    {"SUM4", 'N', 7}, {"DOPL5", 'C', 3}, {"SUM5", 'N', 7}, {"DOPL6", 'C', 3}, {"SUM6", 'N', 7}, {"PROF", 'C', 1}};
inline const std::vector<DbfColumn> kDoplat
    = {{"KODD", 'N', 3}, {"NLTNAL", 'C', 200}, {"FDELETED", 'L', 1}, {"NAZV", 'C', 20}, {"DOPNOMER", 'C', 4},
        {"OTM", 'C', 1}, {"FORMULA", 'C', 1}, {"STADIAF", 'C', 1}, {"STADIAD", 'C', 1}, {"PROZENT", 'N', 6, 2},
        {"FTABL", 'L', 1}, {"FBALANS", 'L', 1}, {"FUDERNAL", 'L', 1}, {"FDAYCLOCK", 'L', 1}, {"FRAZOV", 'L', 1}};
inline const std::vector<DbfColumn> kInput
    = {{"COD", 'N', 3}, {"TABEL", 'N', 5}, {"KDOP", 'N', 3}, {"TAB", 'N', 5, 1}, {"SUMM", 'N', 9, 2}};
inline const std::vector<DbfColumn> kResult
    = {{"COD", 'N', 3}, {"TABH", 'N', 5}, {"KODDOP", 'N', 3}, {"SUMN", 'N', 9, 2}, {"KOLI", 'N', 5, 1}};

// A main calendar of the predecessor: working days, hours and day length.
inline QByteArray OldMainCalendar()
{
    QByteArray file;
    for (int m = 1; m <= 12; ++m) {
        const QByteArray mm = QByteArray::number(m).rightJustified(2, '0');
        file += MemNumber("CALENDAY" + mm, 20 + m % 3) + MemNumber("CALENDAC" + mm, 160 + m, 1)
            + MemNumber("CALENDAR" + mm, 8, 1);
    }
    return file;
}

// A pay-sheet column: the title in 27 characters, then the accrual flags.
inline QByteArray OldPaySheetColumn(const char* title, const QByteArray& flags)
{
    return Oem(title).leftJustified(27, ' ') + flags;
}

inline void WriteOldFolder(const QString& dir, double version = 5.2)
{
    const auto at = [&](const char* name) { return QDir(dir).filePath(QString::fromLatin1(name)); };
    WriteBytes(at("qo.cfg"),
        MemNumber("CFG_VERSIA", version, 1) + MemNumber("CFG_DATE", 5) + MemNumber("CFG_YEAR", 1999)
            + MemNumber("CFG_AMAXPN", 1) + MemNumber("CFG_MAXPN", 4) + MemNumber("CFG_NGLB", 2)
            + MemNumber("CFG_MAXCAL", 0) + MemNumber("CFG_ZSIZE", 2) + MemNumber("CFG_NYEARS", 7)
            + MemText("CFG_GLBUH", Oem("Сидорова")) + MemText("CFG_RUKOV", Oem("Кузнецов"))
            + MemText("CFG_DRUB", Oem("руб.")) + MemText("CFG_DKOP", Oem("коп.")) + MemLogical("CFG_POVR", true)
            + MemLogical("CFG_ROUND", true) + MemLogical("CFG_ROUNDB", false) + MemNumber("CFG_ROUNDS", 0.5, 2));
    WriteBytes(at("QO.PON"),
        MemNumber("PX_BEGIN", 1) + MemNumber("PX_END", 12) + MemNumber("PX_METOD", 2) + MemText("PX_PNSTR", "202")
            + MemLogical("PX_PNINT", true) + MemNumber("PX_KMINZP", 3) + MemNumber("PX_MINZP", 83.49, 2)
            + MemNumber("PX_PNSUM", 5000) + MemNumber("PX_CURSV", 1.5, 1));
    // The third line repeats a threshold: listed, the scale goes on.
    WriteBytes(at("QO.POD"),
        MemLogical("PN_ARRP1", true) + MemText("PN_ARR11", "100 1000 1000 9999999") + MemText("PN_ARR12", "0 12 13 0")
            + MemText("PN_ARR13", "12 20 21 0"));
    WriteBytes(at("QO.VCH"), MemText("UD_VYCH201", "001002") + MemText("UD_VYCH202", "00"));
    WriteBytes(at("QO.FML"),
        MemText("_FORMUL250", "RESULT := 1") + MemNumber("_FORMUL3", 7) + MemText("_FORMUL5", "   ")
            + MemText("_FORMUL0", "RESULT := 0"));
    WriteBytes(at("qo.cal"), OldMainCalendar());
    // Columns 1 and 7 out of order: accrual 1, and 1 + 199.
    WriteBytes(at("QO.RAS"),
        MemText("GRAF7", OldPaySheetColumn("Налог", "1")) + MemText("GRAF1", OldPaySheetColumn("Оклад", "1")));
    WriteBytes(at("SPP.DBF"),
        DbfBytes({{"CODP", 'N', 3}, {"NAIM", 'C', 10}, {"NAIMPOLN", 'C', 20}},
            {{"1", Oem("Цех"), Oem("Цех №1")}, {"2", Oem("Склад"), ""}, {"0", "x", ""}}));
    QByteArray flags(200, '0');
    flags[0] = '1';
    flags[2] = '1';
    QByteArray profFlags(200, '0');
    profFlags[199] = '3';
    WriteBytes(at("doplat.dbf"),
        DbfBytes(kDoplat,
            {{"1", flags, "F", Oem("Оклад"), "01", "", "\xB0", "\"", "", "0", "T", "F", "F", "T", "F"},
                {"200", "", "F", Oem("Подоходный"), "", "", "", "$", "!", "13", "F", "F", "F", "F", "F"},
                {"201", profFlags, "F", Oem("Профсоюз"), "", "", "", "", "", "1", "F", "F", "F", "F", "F"},
                {"205", "", "F", Oem("Прочее"), "", "2", "", "", "", "", "F", "F", "F", "F", "F"}}));
    WriteBytes(at("SR.DBF"),
        DbfBytes(kSr,
            {{"10", "1", "F", Oem("Иванов И.И."), "10", "0", "1000", "", "A", "", "", "9", "1", "1", "500", "-1", "5",
                 "", "", "", "", "", "", "", "", "\x21"},
                {"12", "1", "F", Oem("Удален"), "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
                    "", "", "", ""},
                {"11", "2", "T", Oem("Петров П.П."), "11", "2", "0", "", "", "", "", "0", "", "", "", "", "", "", "",
                    "", "", "", "", "", "", ""}},
            {1}));
    WriteBytes(at("SRDP.DBF"),
        DbfBytes({{"TABN", 'N', 5}, {"COD", 'N', 3}, {"KODDOP", 'N', 3}, {"SUMM", 'N', 7}},
            {{"10", "1", "40", "77"}, {"11", "2", "40", "5"}}));
    WriteBytes(at("VVOD.DBF"), DbfBytes(kInput, {{"1", "10", "1", "20", "0"}, {"3", "99", "1", "1", "1"}}));
    WriteBytes(at("vvodp.dbf"), DbfBytes(kInput, {{"1", "10", "1", "21", "0"}}));
    WriteBytes(at("NACH.DBF"),
        DbfBytes(kResult,
            {{"1", "10", "1", "1000", "20"}, {"1", "10", "995", "880", ""}, {"1", "10", "950", "5", ""},
                {"1", "10", "250", "3", ""}, {"1", "10", "992", "4", ""}, {"1", "10", "999", "6", ""},
                {"2", "11", "1", "7", ""}, {"7", "77", "1", "1", ""}}));
    WriteBytes(at("nc199904.dbf"), DbfBytes(kResult, {{"1", "10", "1", "900", "20"}}));
    // Not "NC" + YYYYMM: shown and skipped.
    WriteBytes(at("NC9905.DBF"), DbfBytes(kResult, {{"1", "10", "1", "1", "1"}}));
    WriteBytes(at("NC199913.DBF"), DbfBytes(kResult, {{"1", "10", "1", "1", "1"}}));
}
