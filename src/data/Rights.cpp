#include "data/Rights.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"

namespace {
TRightsPolicy g_policy;
}

void SetRightsPolicy(TRightsPolicy policy) { g_policy = std::move(policy); }

bool IsOperationAllowed(quint8 operation) { return !g_policy || g_policy(operation); }

bool CheckOperationAllowed(quint8 operation, const QString& text)
{
    if (IsOperationAllowed(operation))
        return true;
    ShowError(text.isEmpty() ? QStringLiteral("Пункт не доступен для данного пользователя") : text);
    return false;
}

void RequireOperation(quint8 operation)
{
    if (!CheckOperationAllowed(operation))
        Abort();
}
