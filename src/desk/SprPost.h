#pragma once
// The posts and categories books: a grid over POST or CTGR, as a book the
// clerk edits (mode 0) or as a picker that answers the chosen number
// (mode 9).
//
//   ShowSprPost(&posts);                   // the book; the list reloads on close
//   qint32 num = card.Post;
//   if (SelectPost(num)) card.Post = num;  // the picker

#include "desk/GridBook.h"

#include <QString>
#include <QVariant>
#include <functional>

class Cursor;
class QToolButton;
class QPushButton;
class TDBGrid;
class T_PostList;
class T_CtgrList;

// What distinguishes the two books.
struct TCodeBookDef {
    QString formName;
    QString caption;
    QString gridName;
    Cursor* table = nullptr;
    quint8 opOpen = 0;
    quint8 opEdit = 0;
    quint8 opDelete = 0;
    std::function<QString(qint32 num, const QString& naim)> deleteText;
};

class TFormSprCode : public TFormGridBook {
    Q_OBJECT
public:
    TFormSprCode(const TCodeBookDef& def, QWidget* parent);
    ~TFormSprCode() override;

    // Picker mode starts on the row of that number.
    void SetMode(int mode, qint32 num = 0);
    Cursor& Table() const { return *def_.table; }
    // NUM of the current row; 0 on an empty table.
    qint32 CurrentNum() const;
    // Called when the form hides, so that lists of names read the table again.
    void SetOnHide(std::function<void()> onHide) { onHide_ = std::move(onHide); }

    void Add();
    void Change();
    void Delete();
    void LeaveEditMode() override;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void TitleDoubleClick();

    TCodeBookDef def_;
    QToolButton* sbAdd_ = nullptr;
    QToolButton* sbChange_ = nullptr;
    QToolButton* sbDel_ = nullptr;
    QPushButton* btOk_ = nullptr;
    QPushButton* btCancel_ = nullptr;
    QPushButton* btClose_ = nullptr;
    std::function<void()> onHide_;
};

class TFormSprPost : public TFormSprCode {
    Q_OBJECT
public:
    explicit TFormSprPost(QWidget* parent = nullptr);
};

class TFormSprCtgr : public TFormSprCode {
    Q_OBJECT
public:
    explicit TFormSprCtgr(QWidget* parent = nullptr);
};

// The books: the open right, then modal; the list (when given) is reloaded
// when the book closes.
void ShowSprPost(T_PostList* list = nullptr);
void ShowSprCtgr(T_CtgrList* list = nullptr);
// The pickers: true with the chosen number; Esc leaves num as it was.
bool SelectPost(qint32& num);
bool SelectCtgr(qint32& num);
