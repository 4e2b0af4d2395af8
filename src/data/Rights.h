#pragma once
// The rights gate: every guarded action asks it by operation number before
// it starts. This system allows every operation; the policy can be
// replaced (tests refuse through it).

#include <QString>
#include <cstdint>
#include <functional>

enum TOperation : quint8 {
    opImport = 3, // import of the predecessor's data
    opPeriodTransition = 4,
    opDepartmentsBook = 5,
    opNewEmployee = 10,
    opDismissEmployee = 11,
    opRestoreEmployee = 12,
    opDeleteEmployee = 13,
    opEditCard = 14, // the employee card, an accrual kind's number, the accrual card
    opNewDop = 15,
    opDeleteDop = 16,
    opRestoreDop = 17,
    opDestroyDop = 18,
    opPostsBook = 19,
    opEditPost = 20,
    opDeletePost = 21,
    opCategoriesBook = 22,
    opEditCategory = 23,
    opDeleteCategory = 24,
    opStaffBook = 25,
    opEditStaff = 26,
    opDeleteStaff = 27,
    opIncomeTaxBook = 28,
    opEditIncomeTax = 29,
    opEditCalendar = 31,
    opAddCalendar = 32,
    opDeleteCalendar = 33,
};

// Every operation number in use, in order.
inline constexpr TOperation AllOperations[]
    = {opImport, opPeriodTransition, opDepartmentsBook, opNewEmployee, opDismissEmployee, opRestoreEmployee,
        opDeleteEmployee, opEditCard, opNewDop, opDeleteDop, opRestoreDop, opDestroyDop, opPostsBook, opEditPost,
        opDeletePost, opCategoriesBook, opEditCategory, opDeleteCategory, opStaffBook, opEditStaff, opDeleteStaff,
        opIncomeTaxBook, opEditIncomeTax, opEditCalendar, opAddCalendar, opDeleteCalendar};

// Answers whether an operation is allowed; an empty policy allows all.
using TRightsPolicy = std::function<bool(quint8 operation)>;
void SetRightsPolicy(TRightsPolicy policy);

bool IsOperationAllowed(quint8 operation);
// When refused: ShowError with the text, or "Пункт не доступен для данного
// пользователя" when it is empty, and false.
bool CheckOperationAllowed(quint8 operation, const QString& text = QString());
// When refused, the message above and then the silent abort, which ends
// the calling action.
void RequireOperation(quint8 operation);
