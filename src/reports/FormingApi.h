#pragma once
// What the catalogue of documents hands to the forming holder: the
// parameters of one forming and the calls it makes. The holder
// (TFormFastRep) answers them; the catalogue's window sees only this.

#include "foundation/TypeList.h"
#include "platform/DateTime.h"

#include <QString>
#include <QStringList>
#include <functional>

class T_Vedom;
class T_Algorythm;

struct T_PVVars {
    bool AutoPost = false; // post the payment sheet's sum into a deduction
    bool AddToSum = false; // add to the deduction's sum instead of replacing it
    qint32 DeductionNum = 0;
    bool PercentOn = false;
    double Percent = 0;
    T_yqIntegerList* DopList = nullptr; // accrual numbers summed into one column
    qint32 Podr = 0; // used when no employee list is given
    T_yqIntegerList* TabnList = nullptr; // personnel numbers, in order
    TDateTime Date = NoDate;
    QString Num; // answered as NUM
};

// The forming holder's calls as the catalogue makes them. The program
// block points them at the holder; tests record them.
struct TFormingCalls {
    // Forms and previews one document; params may be null.
    std::function<void(T_Vedom& descriptor, T_PVVars* params)> RunDocument;
    // Opens the designer on a template file.
    std::function<void(const QString& templateFile)> DesignTemplate;
    // Every algorithm's name with the algorithm, in order.
    std::function<QList<T_Algorythm*>()> Algorithms;
};

TFormingCalls& FormingCalls();
