#pragma once
// The document parameters dialog: one descriptor's name, template, forming
// algorithm, condition on the amount to pay, pay-sheet definition and
// rounding. It edits its own copy; only OK copies it back.
//
//   T_Vedom& doc = ...;
//   if (EditDocument(doc, section)) ...   // doc changed
//
// The algorithms come from FormingCalls().Algorithms(), read once per
// dialog; the template is chosen through TemplateChooser().

#include "foundation/ui/base/FormBase.h"
#include "reports/Vedom.h"

#include <QList>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

class TFormDocEdit : public TForm {
    Q_OBJECT
public:
    explicit TFormDocEdit(QWidget* parent = nullptr);

    // Shows the dialog on a copy of the descriptor; true (and the
    // descriptor changed) on OK.
    bool EditDocument(T_Vedom& descriptor, int section);

    // Chooses a template file in a folder with a file dialog filter; an
    // empty answer changes nothing.
    using TTemplateChooser = std::function<QString(const QString& folder, const QString& filter)>;
    static TTemplateChooser& TemplateChooser();
    // The file dialog's filter for a mask; only the last two entries when
    // there is no algorithm. Templates made elsewhere may be upper case.
    static QString TemplateFilter(const QString& mask, bool withAlgorithm);
    // "RV*.dcf" for the pay sheet's prototype, "*.dcf" without one.
    static QString TemplateMask(const T_Algorythm* algorithm);

    const T_Vedom& Descriptor() const { return doc_; }
    // The chosen algorithm; nullptr for "???".
    const T_Algorythm* Algorithm() const;

    // The buttons' actions.
    void ChooseTemplate();
    void SetupRasVed();
    void Design();
    // Ok needs a name, an algorithm and a template file name.
    void CheckDocument() const;

    QTabWidget* pc;
    QWidget* tsMain;
    QWidget* tsRasVed; // "Таблица выбора"
    QLineEdit* edName;
    QComboBox* cbAlg;
    QLineEdit* edTemplate;
    QPushButton* btTemplate;
    QLabel* lbMask;
    QGroupBox* rgCond;
    QButtonGroup* condGroup;
    QComboBox* cbRasVed;
    QLineEdit* edRVNum;
    QPushButton* btRasVed;
    QCheckBox* cbVedRnd;
    QPushButton* btDesign;
    QPushButton* btOk;
    QPushButton* btCancel;

private:
    void FillAlgorithms();
    void FillRasVedList();
    void FillFromDoc();
    void UpdateAlgorithmParts();
    void AlgorithmChosen(int index);
    void RasVedChosen(int index);

    T_Vedom doc_;
    int section_ = 0;
    QList<T_Algorythm*> algorithms_; // not owned; index + 1 in cbAlg
    int updating_ = 0;
};

bool EditDocument(T_Vedom& descriptor, int section);
