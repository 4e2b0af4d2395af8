#pragma once
// The employee and department picker: the department tree on the left, the
// employees of the chosen department on the right. One window, made on
// first use and reused; three modes:
//
//   qint32 tabn = SelectTabn(podr, tabn, QStringLiteral("Кого перевести?"));  // -1: cancelled
//   qint32 podr = SelectPodr(podr, QString());                                 // -1: cancelled
//   QList<qint32> marked{3, 5};
//   if (SelectTabnList(podr, marked, prompt)) ...  // the marked numbers of the shown department
//
// The tree and the card list are made for each call and freed after it,
// so the picker never outlives the department list it shows.

#include "foundation/TypeList.h"
#include "foundation/ui/base/FormBase.h"

#include <QList>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QSplitter;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class T_PNTree;
class T_TNList;
class TabnListModel;

class TFormSrSelect : public TForm {
    Q_OBJECT
public:
    enum TMode : quint8 { smTabn = 0, smPodr = 1, smTabnList = 2 };

    explicit TFormSrSelect(QWidget* parent = nullptr);
    ~TFormSrSelect() override;

    qint32 SelectTabn(qint32 podr, qint32 tabNum, const QString& prompt);
    qint32 SelectPodr(qint32 podr, const QString& prompt);
    bool SelectTabnList(qint32& podr, QList<qint32>& list, const QString& prompt);

    TMode Mode() const { return mode_; }
    qint32 CurPodr() const { return curPodr_; }
    qint32 CurTabn() const { return curTabn_; }
    QString CurName() const { return curName_; }
    // The numbers of the shown list, in list order, and which are marked.
    QList<qint32> ShownTabns() const;
    QList<qint32> MarkedTabns() const;

    // "Выбрать все": clears every mark when any row is marked, else marks all.
    void ToggleAll();

    QWidget* pnTools;
    QPushButton* btOk;
    QPushButton* btCancel;
    QPushButton* btAll;
    QLabel* pnHelp;
    QSplitter* splitter;
    QTreeWidget* tvp;
    QTreeView* lvt;

protected:
    bool FormKeyDown(QKeyEvent* event) override;

private:
    // Runs the window in the current mode; on OK, OnOk reads the answer
    // while the lists are still there.
    bool Execute(const std::function<void()>& onOk);
    void Prepare();
    void Finish();
    void FillTree();
    void FillList();
    void TreeChosen();
    void ListChosen();
    void TreeDoubleClicked();
    void ListDoubleClicked();
    void ToggleCurrentAndMoveDown();
    void SetAllMarks(bool on);
    void SortByColumn(int column);
    void PodrListChanged(TObject* sender);
    void CardsChanged(TObject* sender);
    void ShowHelp();
    void Accept();

    std::unique_ptr<T_PNTree> tree_;
    std::unique_ptr<T_TNList> cards_;
    TabnListModel* model_;
    TNotifyLink podrLink_;
    int savedTreeWidth_ = 0;
    int savedListWidth_ = 0;
    int updateDepth_ = 0;
    int sortMode_ = 3;
    const QList<qint32>* markSet_ = nullptr;
    QString curName_;
    QString prompt_;
    TMode mode_ = smTabn;
    bool singleChoice_ = true;
    qint32 curPodr_ = 0;
    qint32 curTabn_ = 0;
};

// The program's picker, made on first use; FreeFormSrSelect ends it.
TFormSrSelect& FormSrSelect();
void FreeFormSrSelect();

qint32 SelectTabn(qint32 podr, qint32 tabNum, const QString& prompt);
qint32 SelectPodr(qint32 podr, const QString& prompt);
bool SelectTabnList(qint32& podr, QList<qint32>& list, const QString& prompt);
