#include "FuzzSupport.h"

#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/Startup.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

class QuietMessages final : public IMessageService {
public:
    int Show(const MessageRequest& request) override
    {
        ++count;
        return request.escAnswer;
    }
    bool Input(const MessageRequest&, Variant&) override
    {
        ++count;
        return false;
    }
    int count = 0;
};

QuietMessages& Quiet()
{
    static QuietMessages quiet;
    return quiet;
}

} // namespace

void FuzzInitApp()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "qor_fuzz";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

QString FuzzScratchFolder()
{
    static std::unique_ptr<QTemporaryDir> dir = [] {
        const QString shm = QStringLiteral("/dev/shm");
        const QString base = QDir(shm).exists() ? shm : QDir::tempPath();
        return std::make_unique<QTemporaryDir>(base + QStringLiteral("/qor-fuzz-XXXXXX"));
    }();
    if (!dir->isValid())
        FuzzFail("a scratch folder can be made");
    return dir->path() + QLatin1Char('/');
}

void FuzzQuietMessages() { SetMessageService(&Quiet()); }

int FuzzMessageCount() { return Quiet().count; }

// The one place that knows the start-up order; a renamed start-up step is
// mended here alone.
QString FuzzOpenDataBase()
{
    static const QString dataFolder = [] {
        FuzzInitApp();
        FuzzQuietMessages();
        const QString program = FuzzScratchFolder() + QStringLiteral("program/");
        QDir().mkpath(program);
        SetProgramFolder(program);
        SetApplicationTerminating(false);
        IniSavingEnabled = false;
        StartUp(TStartStep::Lists);
        const QString data = program + QStringLiteral("DB/");
        WriteDataAlias(data);
        StartUp(TStartStep::DataModule);
        // Before the statics the start-up made are destroyed.
        std::atexit([] { ShutDown(); });
        return data;
    }();
    return dataFolder;
}

void FuzzFail(const char* rule, const QString& detail)
{
    std::fprintf(stderr, "\nFUZZ RULE BROKEN: %s\n%s\n", rule, qPrintable(detail));
    std::fflush(stderr);
    std::abort();
}

bool FuzzSameValue(const Variant& a, const Variant& b)
{
    if (a.Type() != b.Type())
        return false;
    switch (a.Type()) {
    case VarType::Empty:
    case VarType::Null: return true;
    case VarType::String: return a.AsString() == b.AsString();
    case VarType::Single:
    case VarType::Double:
    case VarType::Date: {
        const double x = a.AsDouble(), y = b.AsDouble();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    case VarType::Currency: return a.AsCurrency().Raw() == b.AsCurrency().Raw();
    case VarType::Boolean: return a.AsBoolean() == b.AsBoolean();
    default: return a.AsInt64() == b.AsInt64();
    }
}

QString FuzzShow(const Variant& v)
{
    QString text;
    try {
        text = v.AsString();
    } catch (const Exception& e) {
        text = QStringLiteral("<") + e.Message() + QStringLiteral(">");
    }
    return Variant::TypeName(v.Type()) + QLatin1Char(' ') + text;
}

bool operator==(const FuzzOutcome& a, const FuzzOutcome& b)
{
    return a.error == b.error && a.id == b.id && a.pos == b.pos && a.line == b.line && a.col == b.col
        && a.message == b.message && FuzzSameValue(a.value, b.value);
}

QString FuzzShow(const FuzzOutcome& o)
{
    if (o.error.isEmpty())
        return FuzzShow(o.value);
    return QStringLiteral("%1 %2 at pos %3, line %4 col %5: %6")
        .arg(o.error)
        .arg(o.id)
        .arg(o.pos)
        .arg(o.line)
        .arg(o.col)
        .arg(o.message);
}

QByteArray FuzzInput::Bytes(size_t n)
{
    if (n > size_ - pos_)
        n = size_ - pos_;
    const QByteArray out(reinterpret_cast<const char*>(data_ + pos_), qsizetype(n));
    pos_ += n;
    return out;
}

QByteArray FuzzInput::UntilZero()
{
    size_t end = pos_;
    while (end < size_ && data_[end] != 0)
        ++end;
    const QByteArray out(reinterpret_cast<const char*>(data_ + pos_), qsizetype(end - pos_));
    pos_ = end < size_ ? end + 1 : end;
    return out;
}

void FuzzWriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        FuzzFail("the scratch file can be written", path);
}

QByteArray FuzzReadFile(const QString& path, bool mustExist)
{
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        return f.readAll();
    if (mustExist)
        FuzzFail("the scratch file can be read", path);
    return QByteArray();
}

void FuzzClearBinClass(int binClass)
{
    Cursor old(QStringLiteral("Bin"));
    old.Open();
    Transaction t({&old});
    BinSetRange(old, {Variant(binClass)});
    while (!old.IsEmpty())
        old.Delete();
    t.Commit();
}
