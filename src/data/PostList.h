#pragma once
// The small code books POST (posts) and CTGR (staff categories): lists of
// number and name that other windows use to show a name by its number.
//
//   T_PostList posts;
//   posts.Load();                          // in name order
//   int i = posts.IndexOfNum(7);           // -1 when absent

#include "foundation/TypeList.h"

#include <QString>

#include <functional>

// One row of a code book: NUM and NAIM.
class T_CodeItem : public TObject {
public:
    T_CodeItem(qint32 num, const QString& naim) : Num(num), Naim(naim) {}
    qint32 Num = 0;
    QString Naim;
};

class T_Post : public T_CodeItem {
public:
    using T_CodeItem::T_CodeItem;
};
class T_Ctgr : public T_CodeItem {
public:
    using T_CodeItem::T_CodeItem;
};

// The rows of one code table on its "NAIM" index.
template <class T> class T_CodeList : public T_yqOwnerListOf<T> {
public:
    explicit T_CodeList(const QString& tableName) : tableName_(tableName) {}
    const QString& TableName() const { return tableName_; }
    // Reads the table again (the data base must be open).
    void Load();
    void EnsureLoaded()
    {
        if (!loaded_)
            Load();
    }
    void SetLoaded(bool loaded)
    {
        if (!loaded)
            loaded_ = false;
    }
    bool Loaded() const { return loaded_; }
    // The position of the row with that number; -1 when absent.
    int IndexOfNum(qint32 num) const;
    // The name of that number, or the empty text.
    QString NameOf(qint32 num) const;

private:
    QString tableName_;
    bool loaded_ = false;
};

class T_PostList : public T_CodeList<T_Post> {
public:
    T_PostList() : T_CodeList<T_Post>(QStringLiteral("POST")) {}
};
class T_CtgrList : public T_CodeList<T_Ctgr> {
public:
    T_CtgrList() : T_CodeList<T_Ctgr>(QStringLiteral("CTGR")) {}
};

// Reads NUM and NAIM of a code table in name order.
void ReadCodeTable(const QString& tableName, const std::function<void(qint32, const QString&)>& row);

template <class T> void T_CodeList<T>::Load()
{
    this->Clear();
    ReadCodeTable(tableName_, [this](qint32 num, const QString& naim) { this->AddObject(new T(num, naim)); });
    loaded_ = true;
}

template <class T> int T_CodeList<T>::IndexOfNum(qint32 num) const
{
    for (int i = 0; i < this->GetCount(); ++i)
        if (this->Item(i)->Num == num)
            return i;
    return -1;
}

template <class T> QString T_CodeList<T>::NameOf(qint32 num) const
{
    const int i = IndexOfNum(num);
    return i < 0 ? QString() : this->Item(i)->Naim;
}
