#pragma once
// The message service of the benchmarks: every question is answered with
// its first button and the errors are kept, so that a refused operation
// stops a benchmark instead of timing nothing.

#include "foundation/Messages.h"

#include <QStringList>

class YesMessages final : public IMessageService {
public:
    int Show(const MessageRequest& request) override
    {
        if (request.kind == MsgKind::Error || request.kind == MsgKind::ErrorChoice)
            errors << request.Describe();
        return request.buttons.isEmpty() ? request.defaultButton : request.buttons.first().result;
    }
    bool Input(const MessageRequest&, Variant&) override { return false; }
    QStringList errors;
};
