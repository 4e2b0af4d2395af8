#include "support/DataFolderFixture.h"

#include "data/DBSetup.h"
#include "data/Startup.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "platform/DateTime.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace {

// The data folder the first fixture of the process made through the
// program's own code. Later fixtures start from a copy of it: making 29
// tables with their default rows costs far more than copying the files.
std::unique_ptr<QTemporaryDir>& Template()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

QStringList DataFiles(const QString& folder)
{
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    files.removeAll(QStringLiteral("~~Shared.tmp"));
    return files;
}

void CopyFiles(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& f : DataFiles(from)) {
        QFile::remove(to + QLatin1Char('/') + f);
        QFile::copy(from + QLatin1Char('/') + f, to + QLatin1Char('/') + f);
    }
}

} // namespace

TDateTime DataFolderFixture::DefaultToday() { return EncodeDate(2024, 3, 15); }

DataFolderFixture::DataFolderFixture(TDateTime today) : clock_(today + 0.5)
{
    SetApplicationTerminating(false);
    IniSavingEnabled = false;
    CloseProgramIni();
    ::StartUp(TStartStep::Globals);
}

DataFolderFixture::~DataFolderFixture()
{
    CloseDataBase();
    ShutDown();
    IniSavingEnabled = false;
    SetApplicationTerminating(false);
}

void DataFolderFixture::StartUp()
{
    CloseDataBase();
    open_ = true;
    ::StartUp(TStartStep::Settings, withLists_ ? TStartStep::None : TStartStep::Lists);
}

void DataFolderFixture::OpenDataBase(bool withDataModule, bool withLists)
{
    CloseDataBase();
    withLists_ = withLists;
    const bool fresh = !Template() && DataFiles(DataPath()).isEmpty();
    if (Template() && DataFiles(DataPath()).isEmpty())
        CopyFiles(Template()->path(), DataPath());
    WriteDataAlias(DataPath());
    StartUp();
    ::StartUp(TStartStep::DataBase);
    if (fresh) {
        Template() = std::make_unique<QTemporaryDir>();
        CopyFiles(DataPath(), Template()->path());
    }
    if (withDataModule)
        ::StartUp(TStartStep::DataModule);
}

void DataFolderFixture::CloseDataBase()
{
    if (!open_)
        return;
    open_ = false;
    ShutDown(TStartStep::Lists);
    IniSavingEnabled = false;
}

void AppContextTest::SetUp() { fx.OpenDataBase(true, true); }

void AppContextTest::TearDown() { fx.CloseDataBase(); }
