#pragma once
// The user formulas of the accrual kinds computed by method 64: one text per
// accrual number, stored in the object store Bin (CLASS 2, VID = the accrual
// number, TIP 0, SUBTIP 0, INFO = the text BLOB), held in memory by the one
// list the data module makes (UserFormulaList()).
//
//   UserFormulaList()->SetText(250, "RESULT := S * T / TB");   // saved at once
//   QString text;
//   UserFormulaList()->GetText(250, text);

#include "foundation/TypeList.h"

#include <QString>

class Cursor;
class T_UserFormulaList;

class T_UserFormula : public TObject {
public:
    explicit T_UserFormula(T_UserFormulaList* owner = nullptr) : owner_(owner) {}

    qint32 DopNum = 0;
    QString Text;

    // VID and the text of the current Bin row.
    void LoadFromRow(Cursor& table);
    // Reads its row again; "Не найдена формула пользователя начисления №N"
    // when it is gone.
    void Reload();
    // Finds or appends its row; a text of blanks only deletes the row and
    // becomes empty, any other is written as it is. A formula that is not in the program's
    // list marks that list for re-reading, so the calculation sees the text.
    void Save();
    // The text into the current row's INFO.
    void WriteText(Cursor& table);

    T_UserFormulaList* Owner() const { return owner_; }

private:
    T_UserFormulaList* owner_;
};

class T_UserFormulaList : public T_yqOwnerListOf<T_UserFormula> {
public:
    T_UserFormulaList() = default;
    ~T_UserFormulaList() override;

    // Every Bin row of CLASS 2; a row that cannot be read is reported
    // ("Ошибка при загрузке формулы пользователя №N") and the others load.
    void Load();
    void EnsureLoaded();
    void Reload() { Load(); }
    // Only false acts: the next access reads the rows again.
    void SetLoaded(bool loaded);
    bool Loaded() const { return loaded_; }

    // The text of the accrual's formula, empty when it has none.
    void GetText(qint32 dopNum, QString& text);
    QString GetText(qint32 dopNum);
    // The formula of the accrual, or nullptr.
    T_UserFormula* FindFormula(qint32 dopNum);
    // Saves the text as the accrual's formula and keeps the list current.
    void SetText(qint32 dopNum, const QString& text);

private:
    bool loaded_ = false;
};
