#pragma once
// What every fuzz target shares: the Qt core object, a scratch folder, a
// quiet message service, the data base made by the program's own start-up
// code, and the check that stops a run on a broken rule.

#include "platform/Variant.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// A QCoreApplication for the code that needs one; made once.
void FuzzInitApp();
// A folder of this process that lives until it ends, with a trailing "/";
// on a memory file system when there is one.
QString FuzzScratchFolder();
// Messages are answered with their Esc answer and counted, never shown.
void FuzzQuietMessages();
int FuzzMessageCount();
// The program folder, the settings and a fresh data base with its data
// module, as start-up makes them; once per process. The data folder with
// a trailing "/".
QString FuzzOpenDataBase();

// Deletes every object-store row of the class, in one transaction.
void FuzzClearBinClass(int binClass);

// Scratch files: a write that fails is a broken rule; a missing file reads
// empty unless it must be there.
void FuzzWriteFile(const QString& path, const QByteArray& bytes);
QByteArray FuzzReadFile(const QString& path, bool mustExist = true);

// A broken rule: the reason on stderr, then abort, which the fuzzer
// records as a finding with its input.
[[noreturn]] void FuzzFail(const char* rule, const QString& detail = QString());
inline void FuzzCheck(bool ok, const char* rule, const QString& detail = QString())
{
    if (!ok)
        FuzzFail(rule, detail);
}

// Same type and the same value: reals to the bit, texts to the letter.
bool FuzzSameValue(const Variant& a, const Variant& b);
// The type and the value, for a report.
QString FuzzShow(const Variant& v);

// What a run of formula code ended in: its value, or its error.
struct FuzzOutcome {
    Variant value;
    QString error; // the class of the exception, empty without one
    int id = 0;
    int pos = 0;
    int line = 0;
    int col = 0;
    QString message;
};
bool operator==(const FuzzOutcome& a, const FuzzOutcome& b);
QString FuzzShow(const FuzzOutcome& o);
// Runs the code and records what it ended in.
template <class F> FuzzOutcome FuzzRun(F&& run);

// Takes the input apart: the leading bytes as small numbers, the rest whole.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // Up to n bytes.
    QByteArray Bytes(size_t n);
    // Up to the byte 0 (not included) or the end.
    QByteArray UntilZero();
    QByteArray Rest() { return Bytes(size_ - pos_); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#include "foundation/Parsing.h"

#include <typeinfo>

template <class F> FuzzOutcome FuzzRun(F&& run)
{
    FuzzOutcome o;
    try {
        run(o);
    } catch (const EExpressionParserError& e) {
        o.error = QStringLiteral("EExpressionParserError");
        o.id = e.Id();
        o.pos = e.Pos();
        o.message = e.Message();
        o.value = Variant();
    } catch (const Exception& e) {
        o.error = QString::fromLatin1(typeid(e).name());
        o.message = e.Message();
        o.value = Variant();
    }
    return o;
}
