#pragma once
// The staff schedule: the positions (table STAFF) of the department chosen
// in the tree, as a book or as a picker of a position; and the users book,
// open to the administrator only.

#include "db/Cursor.h"
#include "desk/GridBook.h"

#include <QStringList>
#include <memory>

class QLabel;
class QPushButton;
class QToolButton;
class QTreeWidget;
class TDBGrid;
class T_PNTree;
class T_Staff;

class TFormSprStaff : public TFormGridBook, private CursorObserver {
    Q_OBJECT
public:
    explicit TFormSprStaff(QWidget* parent = nullptr);
    ~TFormSprStaff() override;

    // Mode 0 (book) or 9 (picker); the tree starts on the department.
    void SetMode(int mode, qint32 podr = 0, qint32 num = 0);
    QTreeWidget* Tree() const { return tvp_; }
    // The department chosen in the tree; 0 when none.
    qint32 SelectedPodr() const;
    // NUM of the current row; 0 when the department has none.
    qint32 CurrentNum() const;
    // The names shown under the grid for the current row.
    QString PostNameShown() const;
    QString CtgrNameShown() const;

    void Add();
    void Change();
    void Delete();
    void LeaveEditMode() override;
    // The post and category cells' buttons: the book as a picker.
    void PickPost();
    void PickCtgr();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void CursorChanged(Cursor& cursor, CursorChange change) override;
    void PodrChanged();
    void ShowNames();
    void PickInto(const QString& field, bool (*pick)(qint32&));

    Cursor& staff_;
    std::unique_ptr<T_PNTree> tree_;
    QTreeWidget* tvp_ = nullptr;
    QLabel* lbPost_ = nullptr;
    QLabel* lbCtgr_ = nullptr;
    QPushButton* btOk_ = nullptr;
    QPushButton* btCancel_ = nullptr;
    QPushButton* btClose_ = nullptr;
    qint32 appendedNum_ = 0;
    bool filling_ = false;
};

// The book: right 25, then modal.
void ShowSprStaff();
// The picker of a position of the department: true with its number, and
// the position loaded into staff when given; Esc answers false.
bool SelectStaff(qint32 podr, qint32& num, T_Staff* staff = nullptr);

class TFormSprUser : public TForm {
    Q_OBJECT
public:
    explicit TFormSprUser(QWidget* parent = nullptr);
};

// Only the administrator (current user 0) may open it; the others get
// "Права на изменение справочника пользователей имеет только администратор системы".
void ShowSprUser();
