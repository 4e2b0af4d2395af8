#include "data/UserFormulas.h"

#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"

namespace {

const QString kBin = QStringLiteral("Bin");

QList<Variant> FormulaKey(qint32 dopNum) { return {Variant(int(binUserFormulas)), Variant(dopNum)}; }

// A cursor on Bin limited to the formula rows (of one accrual, or all).
void OpenFormulaRows(Cursor& bin, const QList<Variant>& key)
{
    bin.SetIndexName(BinIndexName());
    bin.Open();
    bin.SetRange(key, key);
}

} // namespace

// ---------------------------------------------------------------- T_UserFormula

void T_UserFormula::LoadFromRow(Cursor& table)
{
    DopNum = table.FieldByName(QStringLiteral("VID")).AsInteger();
    Text = ReadTextBlob(table.FieldByName(QStringLiteral("INFO")).AsBlob());
}

void T_UserFormula::Reload()
{
    Cursor bin(kBin);
    OpenFormulaRows(bin, FormulaKey(DopNum));
    if (bin.IsEmpty())
        throw EAppException(QStringLiteral("Не найдена формула пользователя начисления №%1").arg(DopNum));
    bin.First();
    LoadFromRow(bin);
}

void T_UserFormula::WriteText(Cursor& table)
{
    QByteArray blob;
    WriteTextBlob(blob, Text);
    table.Edit();
    try {
        table.FieldByName(QStringLiteral("INFO")).SetBlob(blob);
        StampUser(table);
        table.Post();
    } catch (...) {
        try {
            table.Cancel();
        } catch (...) {
        }
        throw;
    }
}

void T_UserFormula::Save()
{
    {
        Cursor bin(kBin);
        bin.SetIndexName(BinIndexName());
        bin.Open();
        Transaction tx({&bin});
        const QList<Variant> key = FormulaKey(DopNum);
        if (!bin.FindKey(key)) {
            AppendRecordValues(bin, 0,
                {QStringLiteral("CLASS"), QStringLiteral("VID"), QStringLiteral("TIP"), QStringLiteral("SUBTIP")},
                {Variant(int(binUserFormulas)), Variant(DopNum), Variant(0), Variant(0)});
            if (!bin.FindKey(key))
                throw EDatabaseError(QStringLiteral("Формула пользователя начисления №%1 не записана").arg(DopNum));
        }
        if (Text.trimmed().isEmpty()) {
            // Every version of the accrual's formula goes: none may come back at the next load.
            bin.SetRange(key, key);
            while (!bin.IsEmpty()) {
                bin.First();
                bin.Delete();
            }
        } else {
            WriteText(bin);
        }
        tx.Commit();
    }
    // A removed formula holds no text: blanks would read as a formula there is none of.
    if (Text.trimmed().isEmpty())
        Text.clear();
    // The list's own objects are current already; a separate one is not.
    T_UserFormulaList* list = UserFormulaList();
    if (list != nullptr && owner_ != list)
        list->SetLoaded(false);
}

// ---------------------------------------------------------------- T_UserFormulaList

T_UserFormulaList::~T_UserFormulaList() { Clear(); }

void T_UserFormulaList::Load()
{
    loaded_ = false;
    Clear();
    Cursor bin(kBin);
    OpenFormulaRows(bin, {Variant(int(binUserFormulas))});
    const Field vid = bin.FieldByName(QStringLiteral("VID"));
    for (bin.First(); !bin.Eof(); bin.Next()) {
        auto* formula = new T_UserFormula(this);
        try {
            formula->LoadFromRow(bin);
            AddObject(formula);
        } catch (const Exception& e) {
            delete formula;
            ShowError(
                QStringLiteral("Ошибка при загрузке формулы пользователя №%1\r\n").arg(vid.AsInteger()) + e.Message());
        }
    }
    loaded_ = true;
}

void T_UserFormulaList::EnsureLoaded()
{
    if (!loaded_)
        Load();
}

void T_UserFormulaList::SetLoaded(bool loaded)
{
    if (!loaded)
        loaded_ = false;
}

T_UserFormula* T_UserFormulaList::FindFormula(qint32 dopNum)
{
    EnsureLoaded();
    return Find([dopNum](T_UserFormula* f) { return f->DopNum == dopNum; });
}

void T_UserFormulaList::GetText(qint32 dopNum, QString& text)
{
    const T_UserFormula* formula = FindFormula(dopNum);
    text = formula != nullptr ? formula->Text : QString();
}

QString T_UserFormulaList::GetText(qint32 dopNum)
{
    QString text;
    GetText(dopNum, text);
    return text;
}

void T_UserFormulaList::SetText(qint32 dopNum, const QString& text)
{
    T_UserFormula* formula = FindFormula(dopNum);
    if (formula == nullptr) {
        T_UserFormula fresh(this);
        fresh.DopNum = dopNum;
        fresh.Text = text;
        fresh.Save();
        if (!text.trimmed().isEmpty()) {
            auto* kept = new T_UserFormula(this);
            kept->DopNum = dopNum;
            kept->Text = text;
            AddObject(kept);
        }
        return;
    }
    const QString old = formula->Text;
    formula->Text = text;
    try {
        formula->Save();
    } catch (...) {
        formula->Text = old;
        throw;
    }
}
