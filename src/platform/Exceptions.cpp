#include "platform/Exceptions.h"

Exception::Exception(const QString& message) : message_(message), utf8_(message.toUtf8()) {}

Exception::~Exception() = default;

void Exception::SetMessage(const QString& message)
{
    message_ = message;
    utf8_ = message.toUtf8();
}

void Abort() { throw EAbort(QStringLiteral("Operation aborted")); }

void RaiseZeroDivide() { throw EZeroDivide(QStringLiteral("Floating point division by zero")); }

void RaiseOverflow() { throw EOverflow(QStringLiteral("Floating point overflow")); }

void RaiseInvalidOp() { throw EInvalidOp(QStringLiteral("Invalid floating point operation")); }
