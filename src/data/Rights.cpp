#include "data/Rights.h"
#include "data/AppContext.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"

void SetRightsPolicy(TRightsPolicy policy) { DataHooks().RightsPolicy = std::move(policy); }

bool IsOperationAllowed(quint8 operation)
{
    const TRightsPolicy& policy = DataHooks().RightsPolicy;
    return !policy || policy(operation);
}

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
