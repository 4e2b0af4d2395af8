#pragma once
// The departments book: the tree of SP under the enterprise's root, with
// add, rename, delete (mark) and restore/destroy in the deleted view, the
// head of a department, and moving departments by drag and drop.

#include "foundation/ui/base/DialogBases.h"

#include <QTreeWidget>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class T_MPodr;
class T_PNTree;
class T_Podr;
class TFormPodr;

// The name dialog: one edit; Enter is OK, Esc is Cancel; a name of blanks
// is refused ("Повторите ввод наименования").
class TFormNewPodr : public TFormNewInput {
    Q_OBJECT
public:
    explicit TFormNewPodr(QWidget* parent = nullptr);
    QLineEdit* edName = nullptr;
    QString Text;

protected:
    bool CanAccept() override;
    void showEvent(QShowEvent* event) override;
};

// Answers the trimmed name when OK was pressed.
bool InputPodrName(const QString& caption, QString& name);

// The tree: Qt moves nothing on a drop; the book does it through the list.
class TPodrTreeWidget : public QTreeWidget {
    Q_OBJECT
public:
    explicit TPodrTreeWidget(TFormPodr* form, QWidget* parent);

protected:
    void dropEvent(QDropEvent* event) override;

private:
    TFormPodr* form_;
};

class TFormPodr : public TForm {
    Q_OBJECT
public:
    explicit TFormPodr(QWidget* parent = nullptr);
    ~TFormPodr() override;

    // The normal view (filter 1) or the deleted view (filter 2).
    void SetDeletedView(bool on);
    bool DeletedView() const { return deletedView_; }
    QTreeWidget* Tree() const { return tvp_; }
    QTreeWidgetItem* RootItem() const { return root_; }
    // The item of a department; the root for 0; nullptr when not shown.
    QTreeWidgetItem* ItemOf(qint32 num) const;
    // The selected department; nullptr on the root or with nothing selected.
    T_Podr* CurrentPodr() const;
    // The current department; the root or no node at all end the action
    // with a message (the root's says it is no department to change).
    T_Podr* RequireCurrentPodr(const QString& none) const;
    void SetCurrent(qint32 num);
    // The head's name shown for the current department.
    QString HeadShown() const;

    void Add(); // Restore in the deleted view
    void Change();
    void Delete(); // Destroy in the deleted view
    void ChooseHead();
    // The drop of one item on another, as the tree's dropEvent calls it.
    void DropPodr(QTreeWidgetItem* dragged, QTreeWidgetItem* target);

private:
    void Refill(qint32 current);
    void Reload(qint32 current);
    void ShowHead();
    void PlaceAbove(T_Podr& dragged, const T_Podr& target);
    bool IncludeInto(T_Podr& dragged, const T_Podr& target);

    std::unique_ptr<T_PNTree> tree_;
    TPodrTreeWidget* tvp_ = nullptr;
    QTreeWidgetItem* root_ = nullptr;
    QCheckBox* cbDeleted_ = nullptr;
    QPushButton* btAdd_ = nullptr;
    QPushButton* btDel_ = nullptr;
    QWidget* pnHead_ = nullptr;
    QLabel* lbHead_ = nullptr;
    bool deletedView_ = false;
    bool filling_ = false;
};

// Right 5, then the book modally.
void ShowPodrBook();
