#pragma once
// The functions a report may call by name.

#include <QString>

// "Propis": the amount in words in brackets, the argument taken as money
// (to 1/10000), at most 255 characters.
QString PropisFunction(double amount);
