#pragma once
// The forming holder: seven prototype documents wired to the feeders, the
// numbered forming algorithms, and the run that turns one catalogue
// descriptor into a prepared, previewed document. It opens no window of its
// own: the progress and the busy cursor go through the progress sink, the
// preview and the designer through the engine's window factories.
//
//   TFormFastRep& rep = FormFastRep();
//   T_PVVars params;
//   params.Podr = 3;
//   params.Date = Cfg.Workdate;
//   rep.RunDocument(&descriptor, &params);   // refusals: message and silent abort
//
// Feeders.cpp holds the documents' handlers; this file the run, the
// working state and the variable values.

#include "data/CalcMethods.h"
#include "reports/FormingApi.h"
#include "reports/RasVed.h"
#include "reports/ReportDocument.h"
#include "reports/Vedom.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <unordered_map>

class T_DNSubList;
class T_TabnDop;
class T_TabnDopList;
class T_dTabn;
class T_Tabn;
class TTabnCursors;

class TFormFastRep : public QObject {
    Q_OBJECT
public:
    explicit TFormFastRep(QObject* parent = nullptr);
    ~TFormFastRep() override;

    static const QString kCaption; // "Форма хранения алгоритмов формирования документов"

    // Forms and previews one document; params may be null (then empty).
    void RunDocument(T_Vedom* descriptor, const T_PVVars* params);
    // Opens the designer, not modal, on a template of the text folder.
    void DesignTemplate(const QString& templateFile);
    // Every algorithm's name, its number as the object.
    void FillAlgorithms(TStringItems& items) const;
    QList<T_Algorythm*> Algorithms() const;
    // nullptr when none has the number.
    T_Algorythm* FindAlgorithm(qint32 number) const;

    // A prototype by its component name ("RLA", "RasVed", ...); nullptr when none.
    TDocument* Prototype(const QString& name) const;
    bool Busy() const { return busy_; }
    TDocument* FormingDocument() const { return forming_.get(); }
    TDocument* DesignerDocument() const { return designer_.get(); }

private:
    struct TPrototype {
        QString Name;
        std::unique_ptr<TDocument> Doc;
    };
    void MakePrototypes();
    void MakeAlgorithms();
    TDocument* AddPrototype(const QString& name, const QString& saveFile, const QString& title,
        const QString& nameDocument, const TDocumentEvents& events, const QStringList& variables);

    // The run.
    void Form(T_Vedom& descriptor);
    void ResetWorkingState();
    void FormingViewEnded(TDocument& sender);
    void DesignEnded(TDocument& sender);
    void Discard(std::unique_ptr<TDocument>& slot);

    // Shared steps of the feeders.
    void EmployeeSet();
    void FillDepartmentEmployees(qint32 podr);
    void LoadEmployee(qint32 tabNum);
    bool IsDeduction(T_TabnDop* row) const;
    T_TabnDopList& Results();
    double ReservedSum(qint32 dopNum);
    double AmountToPay(); // dnVsego of the results, to kopecks; 0 without the row
    bool PassesCondition();
    QString TitleOf(const QString& nameDocument, bool byEmployee);
    int EmployeeCount() const { return static_cast<int>(employees_.size()); }

    // Variable chains (Names are upper-cased; false leaves the variable unanswered).
    void RLGetValue(TDocument& doc, int b, const QString& name, QString& value);
    void RVGetValue(TDocument& doc, int b, const QString& name, QString& value);
    void SvodNachGetValue(TDocument& doc, int b, const QString& name, QString& value);
    bool SectionValue(const QString& name, QString& value);
    bool EmployeeValue(const QString& name, QString& value);
    bool PodrValue(const QString& name, QString& value);
    bool CommonValue(const QString& name, QString& value);
    bool PaySheetValue(const QString& name, QString& value);
    bool PropisValue(const QString& name, QString& value);
    bool SvodOwnValue(const QString& name, QString& value);
    bool RowValue(QLatin1StringView prefix, const QString& name, T_TabnDop* row, QString& value);
    T_TabnDop* SupplementAt(int i);
    T_TabnDop* DeductionAt(int i);
    T_TabnDop* RowAt(int i);

    // Feeders (Feeders.cpp).
    void EndDoc(TDocument& doc);
    void RLBeginDoc(TDocument& doc);
    void RLBeginPage(TDocument& doc);
    void RLANeedData(TDocument& doc, int b, bool& more);
    void RLBNeedData(TDocument& doc, int b, bool& more);
    void RVBeginDoc(TDocument& doc);
    void RVBeginPage(TDocument& doc);
    void RVNeedData(TDocument& doc, int b, bool& more);
    void PVNeedData(TDocument& doc, int b, bool& more);
    void SPBeginDoc(TDocument& doc);
    void SPBeginPage(TDocument& doc);
    void SPNeedData(TDocument& doc, int b, bool& more);
    void SvodNachBeginDoc(TDocument& doc);
    void SvodNachBeginPage(TDocument& doc);
    void SvodNachNeedData(TDocument& doc, int b, bool& more);
    bool NextEmployee(bool (TFormFastRep::*keep)());
    bool KeepNegative();
    bool KeepPayable();
    double PaymentAmount();
    void PostPayment();

    std::vector<TPrototype> prototypes_;
    T_AlgorythmList algorithms_;

    // Working state of one forming.
    QList<qint32> employees_;
    // The cards of the department walked, as its list read them: a card is
    // not read again for each employee.
    std::unordered_map<qint32, std::unique_ptr<T_Tabn>> cardOf_;
    QList<qint32> podrLines_; // departments of the enterprise, pre-order
    std::unique_ptr<T_DNSubList> dnView_;
    std::unique_ptr<TTabnCursors> cursors_; // the forming's own, outliving the card's lists
    std::unique_ptr<T_dTabn> card_;
    T_RasVed ved_; // the working pay sheet
    T_RasVed ved2_; // the same columns, for one employee's entered values
    std::unique_ptr<TDocument> forming_;
    std::unique_ptr<TDocument> designer_;
    bool inPreview_ = false;
    bool inDesign_ = false;
    T_Vedom* vedom_ = nullptr;
    T_Algorythm* algorithm_ = nullptr;
    T_PVVars params_;
    QList<qint32> dopList_; // params_.DopList, copied
    bool busy_ = false;
    quint8 kind_ = 0;
    int variant_ = 0;
    QSet<qint32> posted_; // employees whose payment was posted in this forming

    int master_ = -1; // employee or department
    int detail_ = -1; // line
    int section_ = 0;
    int lineCount_ = 0; // lines of the current employee
    int rowCount_ = 0; // his result rows before the first reserved one
    int boundary_ = 0; // first deduction line
    int podrCounter_ = -1;
    qint32 tabNum_ = 0; // the loaded employee; 0 none
};

// The holder of the program, made on first use and freed at exit.
TFormFastRep& FormFastRep();
