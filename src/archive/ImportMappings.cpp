#include "archive/ImportMappings.h"

#include "archive/ImportRun.h"
#include "data/CalcMethods.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "foundation/DateFuncs.h"
#include "foundation/DbfFile.h"
#include "foundation/Messages.h"
#include "foundation/TypeList.h"
#include "platform/Exceptions.h"

#include <algorithm>

namespace {

QByteArray ListBlob(const T_yqIntegerList& list)
{
    QByteArray blob;
    WriteIntegerListBlob(blob, list);
    return blob;
}

bool AppendSrd(Cursor& srd, int tabNum, int dopNum, double sum, TImportRun& run)
{
    return AppendImportRow(srd, run, QStringLiteral("SRD"), [&] {
        SetField(srd, "TABNUM", tabNum);
        SetField(srd, "DATEBEG", Variant::FromDate(0));
        SetField(srd, "DATEEND", Variant::FromDate(0));
        SetField(srd, "DOPNUM", dopNum);
        SetField(srd, "SUM", sum);
        SetField(srd, "PROC", sum);
        SetField(srd, "USER", 0);
    });
}

// Leading blanks are accepted, trailing ones are not, as the old
// conversion did.
int GroupNumber(const QByteArray& group)
{
    int start = 0;
    while (start < group.size() && group[start] == ' ')
        ++start;
    const QByteArray digits = group.mid(start);
    // Qt would skip the trailing blanks too.
    if (digits.contains(' '))
        return 0;
    bool ok = false;
    const int v = digits.toInt(&ok);
    return ok ? v : 0;
}

} // namespace

int OldKindTip(int code)
{
    switch (code) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 3;
    case 3: return 4;
    case 40:
    case 41: return 5;
    case 50: return 6;
    case 60:
    case 61: return 7;
    case 69: return 8;
    case 200: return 9;
    case 201: return 10;
    case 202: return 11;
    case 207: return 12;
    case 208: return 13;
    case 209: return 14;
    case 230: return 15;
    default: return 0;
    }
}

QByteArray FlagsToInfo(const QByteArray& flags)
{
    T_yqIntegerList list;
    for (int i = 1; i <= std::min<int>(199, int(flags.size())); ++i)
        if (flags[i - 1] != '0')
            list.AddInteger(i);
    return ListBlob(list);
}

QByteArray NumbersToInfo(const QByteArray& text)
{
    T_yqIntegerList list;
    for (int i = 0; i + 3 <= text.size(); i += 3)
        list.AddInteger(GroupNumber(text.mid(i, 3)));
    return ListBlob(list);
}

void ImportKinds(TDbfFile& source, Cursor& dp, Cursor& dpt, const TClipperMemVarList& deductions,
    TClipperMemVarList& prof, TImportRun& run, bool debugMode)
{
    int tableCounter = 0;
    int count = 0;
    while (!run.Stopped() && source.Next()) {
        run.Step(++count, source.RecordCount());
        try {
            const int code = source.Integer(QStringLiteral("KODD"));
            const bool deduction = code >= 200;
            const QString name = source.Text(QStringLiteral("NAZV")).left(40);
            const int tip = OldKindTip(code);
            const bool known = tip != 0 || code == 210 || code == 224 || code == 225;
            const int otm = source.FirstByte(QStringLiteral("OTM"));
            if (!known && debugMode && otm != 0 && otm % 2 == 0)
                ShowError(QStringLiteral("Неопознанное неудаляемое\r\n%1  %2").arg(code).arg(name));
            const QByteArray flags = source.Raw(QStringLiteral("NLTNAL"));
            const char profBit = flags.size() >= 200 ? flags[199] : '0';
            const bool individ = deduction && profBit != '0';

            // The kind is written whole or not at all: its tables without
            // its row would be orphans, and a PROF bit would give later
            // cards entries of a kind that does not exist.
            Transaction kind({&dp, &dpt});
            int counter = tableCounter;
            int tabl = 0;
            if (source.Logical(QStringLiteral("FTABL"))) {
                const int num = counter + 1;
                if (AppendImportRow(dpt, run, QStringLiteral("DPT"), [&] {
                        SetField(dpt, "NUM", num);
                        SetField(dpt, "NAIM", name);
                        SetField(dpt, "DOPNUM", code);
                        SetField(dpt, "TIP", 0);
                        dpt.FieldByName(QStringLiteral("INFO")).SetBlob(FlagsToInfo(flags));
                        SetField(dpt, "USER", 0);
                    }))
                    tabl = counter = num;
            }
            int vlist = 0;
            const QString listName = QStringLiteral("UD_VYCH%1").arg(code, 3, 10, QLatin1Char('0'));
            const int listIndex = deductions.IndexOf(listName);
            if (deduction && (source.Logical(QStringLiteral("FUDERNAL")) || (code >= 200 && code <= 202))
                && listIndex >= 0) {
                // Only a text of three-digit groups is known; any other value is no list.
                const TClipperMemVar& list = deductions.Items(listIndex);
                const QString text = list.VarType == 'C' ? list.Value.AsString() : QString();
                if (list.VarType != 'C')
                    run.Error(ImportHeading(QStringLiteral("DPT"))
                        + QStringLiteral("\r\nСписок вычетов вида %1 в файле QO.VCH не является текстом").arg(code));
                if (text.size() > 2) {
                    const int num = counter + 1;
                    if (AppendImportRow(dpt, run, QStringLiteral("DPT"), [&] {
                            SetField(dpt, "NUM", num);
                            SetField(dpt, "NAIM", name);
                            SetField(dpt, "TIP", 1);
                            dpt.FieldByName(QStringLiteral("INFO")).SetBlob(NumbersToInfo(text.toLatin1()));
                            SetField(dpt, "USER", 0);
                        }))
                        vlist = counter = num;
                }
            }
            const int formula = code == 200 ? 4097 : source.FirstByte(QStringLiteral("FORMULA"));
            const int stadiaF = std::max(source.FirstByte(QStringLiteral("STADIAF")), 33) - 33 + (deduction ? 200 : 0);
            const int stadiaD = std::max(source.FirstByte(QStringLiteral("STADIAD")), 32) - 33;
            const bool written = AppendImportRow(dp, run, QStringLiteral("DP"), [&] {
                SetField(dp, "DOPNUM", code);
                SetField(dp, "DELETED", source.Logical(QStringLiteral("FDELETED")));
                SetField(dp, "UDER", deduction);
                SetField(dp, "SNUM", code);
                SetField(dp, "BASENUM", code);
                SetField(dp, "NAIM", name);
                // Codes are digits; the old code page still decodes them.
                SetField(dp, "DOPNOMER", source.Text(QStringLiteral("DOPNOMER")).left(10));
                SetField(dp, "NABOR", 0);
                SetField(dp, "TIP", tip);
                SetField(dp, "DATEBEG", Variant::FromDate(0));
                SetField(dp, "FORMULA", formula);
                SetField(dp, "STADIAF", stadiaF);
                SetField(dp, "STADIAD", stadiaD);
                SetField(dp, "INDIVID", individ);
                SetField(dp, "NAKOPL", code == 200);
                SetField(dp, "SUM", source.Number(QStringLiteral("PROZENT")));
                SetField(dp, "NUMVALUTA", 0);
                SetField(dp, "TABL", tabl);
                SetField(dp, "FBALANS", source.Logical(QStringLiteral("FBALANS")));
                SetField(dp, "VLIST", vlist);
                SetField(dp, "FDAYCLOCK", source.Logical(QStringLiteral("FDAYCLOCK")));
                SetField(dp, "FRAZOV", source.Logical(QStringLiteral("FRAZOV")));
                SetField(dp, "USER", 0);
            });
            if (!written)
                continue; // the savepoint rolls the kind's tables back
            kind.Commit();
            tableCounter = counter;
            if (individ)
                prof.SetValue(QString(QLatin1Char(profBit)), code);
        } catch (const Exception& e) {
            ImportRowFailed(dp, e, run, QStringLiteral("DP"));
        }
    }
}

void ImportCards(
    TDbfFile& source, Cursor& sr, Cursor& srd, const TClipperMemVarList& prof, TDateTime workdate, TImportRun& run)
{
    const TDateTime released = LastDayOfMonth(IncMonth(workdate, -1));
    int next = 1;
    int count = 0;
    while (!run.Stopped() && source.Next()) {
        run.Step(++count, source.RecordCount());
        const int tabNum = next;
        const bool written = AppendImportRow(sr, run, QStringLiteral("SR"), [&] {
            const int cod = source.Integer(QStringLiteral("COD"));
            const bool dismissed = source.Logical(QStringLiteral("FDELETED"));
            const int ksop = source.Integer(QStringLiteral("KSOP"));
            const int calendar = source.Integer(QStringLiteral("CALENDAR"));
            const double okl = source.Number(QStringLiteral("OKL"));
            const int minZarp = source.FirstByte(QStringLiteral("MINZARP"));
            SetField(sr, "TABNUM", tabNum);
            SetField(sr, "SNUM", source.Integer(QStringLiteral("TABN")));
            SetField(sr, "PODR", dismissed ? 0 : cod);
            SetField(sr, "OLDPODR", dismissed ? cod : 0);
            SetField(sr, "FIO", source.Text(QStringLiteral("FIO")).left(60));
            SetField(sr, "TABNOMER", source.Text(QStringLiteral("TABNOMER")).left(10));
            SetField(sr, "DATEBEG", Variant::FromDate(0));
            SetField(sr, "CHECKCHANGE", false);
            SetField(sr, "DATERAS", Variant::FromDate(0));
            SetField(sr, "SUM", 0.0);
            SetField(sr, "FCOMMENT", false);
            SetField(sr, "KSOP", ksop == 0 ? 2 : ksop == 1 ? 1 : 0);
            SetField(sr, "OKL", okl);
            if (okl < 1e-7)
                SetField(sr, "DATERELEASE", Variant::FromDate(released));
            SetField(sr, "AVAN", source.Number(QStringLiteral("AVAN")));
            SetField(sr, "FS", 0);
            SetField(sr, "MINZARP", minZarp == 0 ? 0 : minZarp - 32);
            SetField(sr, "VYCHET", source.Number(QStringLiteral("VYCHET")));
            SetField(sr, "LGOTAPN", source.Number(QStringLiteral("LGOTAPN")));
            SetField(sr, "CALENDAR", calendar >= 1 && calendar <= 9 ? calendar - 1 : 0);
            SetField(sr, "SPNTABL", source.Integer(QStringLiteral("SPNTABL")));
            SetField(sr, "CUSER", 0);
            SetField(sr, "USER", 0);
        });
        // A failed card's number goes to the next card, and so must not its accruals.
        if (!written)
            continue;
        ++next;
        for (int i = 1; i <= 6; ++i) {
            try {
                const QString text = source.Text(QStringLiteral("DOPL%1").arg(i)).trimmed();
                if (text.isEmpty())
                    continue;
                // A whole number; anything else ("1.5", "inf") counts as -1.
                bool ok = false;
                const int dopNum = text.toInt(&ok);
                if (!ok || dopNum == -1)
                    continue;
                AppendSrd(srd, tabNum, dopNum, source.Number(QStringLiteral("SUM%1").arg(i)), run);
            } catch (const Exception& e) {
                ImportRowFailed(srd, e, run, QStringLiteral("SRD"));
            }
        }
        const int mask = source.FirstByte(QStringLiteral("PROF"));
        for (int i = 1; i <= 7; ++i) {
            const QString bit = QString::number(i);
            if ((mask & (128 >> (i - 1))) && prof.IndexOf(bit) >= 0)
                AppendSrd(srd, tabNum, prof.GetValue(bit).AsInteger(), 0, run);
        }
    }
}

void ImportFurtherAccruals(TDbfFile& source, Cursor& sr, Cursor& srd, TImportRun& run)
{
    int count = 0;
    while (!run.Stopped() && source.Next()) {
        run.Step(++count, source.RecordCount());
        try {
            int tabNum = 0;
            if (!FindImportedEmployee(
                    sr, source.Integer(QStringLiteral("COD")), source.Integer(QStringLiteral("TABN")), tabNum, false))
                continue;
            AppendSrd(
                srd, tabNum, source.Integer(QStringLiteral("KODDOP")), source.Number(QStringLiteral("SUMM")), run);
        } catch (const Exception& e) {
            ImportRowFailed(srd, e, run, QStringLiteral("SRD"));
        }
    }
}

bool FindImportedEmployee(Cursor& sr, int department, int oldNumber, int& tabNum, bool dismissedToo)
{
    if (sr.IndexName() != QStringLiteral("PODR"))
        sr.SetIndexName(QStringLiteral("PODR"));
    if (department != 0 && sr.FindKey({department, oldNumber})) {
        tabNum = sr.FieldByName(QStringLiteral("TABNUM")).AsInteger();
        return true;
    }
    if (!dismissedToo)
        return false;
    for (sr.First(); !sr.Eof() && sr.FieldByName(QStringLiteral("PODR")).AsInteger() == 0; sr.Next()) {
        if (sr.FieldByName(QStringLiteral("OLDPODR")).AsInteger() == department
            && sr.FieldByName(QStringLiteral("SNUM")).AsInteger() == oldNumber) {
            tabNum = sr.FieldByName(QStringLiteral("TABNUM")).AsInteger();
            return true;
        }
    }
    return false;
}
