#pragma once
// The catalogue of output documents: one document kind's sections and
// documents as a tree, the parameters the selected document's algorithm
// needs, and the buttons that form, set up and redesign it.
//
//   ShowDocCatalog(1, main.CurPodr());   // pay slips of the department
//
// The catalogue file is written on closing, and only when something
// changed. Forming and the designer go through FormingCalls(); the
// pickers through Pickers(), so tests can answer them.

#include "foundation/TypeList.h"
#include "foundation/ui/base/DialogBases.h"
#include "platform/DateTime.h"
#include "reports/Vedom.h"

#include <QList>
#include <functional>
#include <memory>

class QCheckBox;
class Tyq_DateEdit;
class QDoubleSpinBox;
class QGroupBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

class TFormReports : public TFormMultyPage {
    Q_OBJECT
public:
    explicit TFormReports(QWidget* parent = nullptr);
    ~TFormReports() override;

    // The pickers the window calls; the program's own by default.
    struct TPickers {
        std::function<bool(qint32& podr, QList<qint32>& tabns, const QString& prompt)> SelectTabnList;
        std::function<qint32(qint32 podr, const QString& prompt)> SelectPodr;
        std::function<qint32(quint8 kind, const QString& hint, qint32 current, quint8 sort)> SelectDop;
    };
    static TPickers& Pickers();

    // The department the window starts with (0: none), all of its working
    // employees until the picker narrows them.
    void SetStart(qint32 podr);
    // Kinds 1..5 open their page and read the catalogue; others are refused
    // with "Неизвестный режим".
    void SetKind(int kind);
    int Kind() const { return kind_; }

    // The actions, as the buttons call them.
    void FormDocument();
    void SetupDocument();
    void DesignDocument();
    void AddSection();
    void DeleteSection();
    void RenameSection(qint32 number, const QString& name);
    void AddDocument();
    void DeleteDocument();
    void ChoosePodr();
    void ChooseDeduction();

    T_Catalogue& Catalogue() { return *cat_; }
    qint32 SelectedSection() const { return section_; }
    int SelectedDocument() const { return doc_; }
    const T_Algorythm* Algorithm() const { return alg_; }
    // Selects the section's node, or the document's when index >= 0.
    void SelectNode(qint32 section, int docIndex = -1);
    bool Modified() const { return modified_; }

    QWidget* tabRasVed;
    QWidget* tabPlVed;
    QWidget* tabSprav;
    QWidget* tabSvod;
    QWidget* pnWork; // the controls, on the active page
    QTreeWidget* tvDocs;
    QPushButton* btAddSection;
    QPushButton* btDelSection;
    QPushButton* btAddDoc;
    QPushButton* btDelDoc;
    QGroupBox* gbPodr;
    QLineEdit* edPodrNum;
    QLineEdit* edPodrName;
    QPushButton* btPodr;
    QWidget* pnPlVed; // the payment-sheet panels
    QWidget* pnAutoPost;
    QCheckBox* cbAutoPost;
    QLineEdit* edDedNum;
    QLineEdit* edDedName;
    QPushButton* btDed;
    QCheckBox* cbAddSum;
    QWidget* pnPercent;
    QCheckBox* cbPercent;
    QDoubleSpinBox* edPercent;
    QLineEdit* edNum;
    Tyq_DateEdit* edDate;
    QPushButton* btForm;
    QPushButton* btSetup;
    QPushButton* btDesign;
    QPushButton* btClose;

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void PageSetUp();
    void FillTree();
    void NodeSelected(QTreeWidgetItem* item);
    void NodeEdited(QTreeWidgetItem* item);
    void UpdatePanels();
    void ShowPodr();
    bool AutoPostOn() const;
    bool PercentOn() const;
    T_Vedom* Document() const;
    T_Algorythm* FindAlgorithm(qint32 number) const;

    std::unique_ptr<T_Catalogue> cat_;
    QList<T_Algorythm*> algorithms_; // not owned
    const T_Algorythm* alg_ = nullptr;
    int kind_ = 0;
    qint32 section_ = 0;
    int doc_ = -1;
    qint32 podr_ = 0;
    T_yqIntegerList tabns_;
    T_yqIntegerList dops_;
    qint32 deduction_ = 0;
    bool modified_ = false;
    bool sumsPosted_ = false;
    bool closed_ = false;
    int updating_ = 0;
};

// Opens the catalogue of a document kind modally.
void ShowDocCatalog(int kind, qint32 podr);
