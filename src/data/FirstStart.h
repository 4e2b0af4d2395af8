#pragma once
// The data every data base has from its first start on.

// When the data base has no work calendar: the main calendar (number 0) of
// the monthly kind, named "Основной календарь", with one table over the
// year of the working month, saved. True when it was made.
bool AddBasicCalendar();

// The built-in accrual kinds the directory is missing (GenerateConstDops);
// answers how many were made.
int AddBuiltInKinds();
