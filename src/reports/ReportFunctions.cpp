#include "reports/ReportFunctions.h"

#include "data/Money.h"
#include "platform/Currency.h"

QString PropisFunction(double amount) { return SpellMoneyInBrackets(Currency::FromDouble(amount)).left(255); }
