#pragma once
// The exception family of the program. Everything the clerk may see derives
// from Exception and carries its text as a QString.

#include <QByteArray>
#include <QString>
#include <exception>

class Exception : public std::exception {
public:
    explicit Exception(const QString& message = QString());
    ~Exception() override;
    const QString& Message() const { return message_; }
    void SetMessage(const QString& message);
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

#define QOR_DECLARE_EXCEPTION(Name, Base)                                                                              \
    class Name : public Base {                                                                                         \
    public:                                                                                                            \
        using Base::Base;                                                                                              \
    };

// The silent abort: ends an operation without a second message.
QOR_DECLARE_EXCEPTION(EAbort, Exception)
// A check of the program itself failed; its text is shown to the clerk.
QOR_DECLARE_EXCEPTION(EAppException, Exception)
QOR_DECLARE_EXCEPTION(EConvertError, Exception)
QOR_DECLARE_EXCEPTION(EListError, Exception)
QOR_DECLARE_EXCEPTION(EVariantError, Exception)
QOR_DECLARE_EXCEPTION(EInOutError, Exception)
QOR_DECLARE_EXCEPTION(EInvalidOperation, Exception)
QOR_DECLARE_EXCEPTION(EOutOfResources, Exception)
QOR_DECLARE_EXCEPTION(EStreamError, Exception)
QOR_DECLARE_EXCEPTION(EFilerError, EStreamError)
QOR_DECLARE_EXCEPTION(EReadError, EFilerError)
QOR_DECLARE_EXCEPTION(EWriteError, EFilerError)
QOR_DECLARE_EXCEPTION(EFCreateError, EStreamError)
QOR_DECLARE_EXCEPTION(EFOpenError, EStreamError)
QOR_DECLARE_EXCEPTION(EMathError, Exception)
QOR_DECLARE_EXCEPTION(EZeroDivide, EMathError)
QOR_DECLARE_EXCEPTION(EOverflow, EMathError)
QOR_DECLARE_EXCEPTION(EInvalidOp, EMathError)
QOR_DECLARE_EXCEPTION(EDatabaseError, Exception)

// Thrown to end the program; only main() catches it. Deliberately not an
// Exception, so that no handler of program errors swallows it.
class ProgramExit {
public:
    explicit ProgramExit(int code = 0) : code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// Raises the silent abort.
[[noreturn]] void Abort();

// Standard texts of the floating-point failures.
[[noreturn]] void RaiseZeroDivide();
[[noreturn]] void RaiseOverflow();
[[noreturn]] void RaiseInvalidOp();
