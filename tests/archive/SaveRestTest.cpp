#include "archive/SaveRest.h"

#include "archive/MyLaunch.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/FolderRecovery.h"
#include "data/Globals.h"
#include "data/TableCatalogue.h"
#include "db/CallHook.h"
#include "db/Cursor.h"
#include "db/DataFolderLock.h"
#include "db/TableFile.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "foundation/FileFuncs.h"
#include "foundation/IniFiles.h"
#include "foundation/Messages.h"
#include "platform/Disk.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "support/DataFolderFixture.h"
#include "support/FolderDisk.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

namespace {

// Every table: its indexes by name and every row in primary-key order.
QStringList Dump(const QString& folder)
{
    QStringList out;
    for (int i = 0; i < TableCount; ++i) {
        const QString name = TableStructures()[i].Name();
        QStringList indexes;
        for (const IndexDef& index : Tables::ReadDefinition(name, folder).indexes)
            indexes.append(index.name + QLatin1Char(':') + index.fields);
        out.append(name + QLatin1Char(' ') + indexes.join(QLatin1Char(',')));
        Cursor c(name, folder);
        c.Open();
        for (c.First(); !c.Eof(); c.Next()) {
            QStringList row;
            for (int f = 0; f < c.FieldCount(); ++f)
                row.append(c.FieldAt(f).AsString());
            out.append(row.join(QLatin1Char('|')));
        }
    }
    return out;
}

// Employees and a card history with a gap in its numbering.
void Fill(const QString& folder)
{
    Cursor sr(QStringLiteral("SR"), folder);
    Cursor srh(QStringLiteral("SRH"), folder);
    sr.Open();
    srh.Open();
    Transaction tx({&sr, &srh});
    for (int n = 1; n <= 40; ++n) {
        sr.Append();
        sr.FieldByName(QStringLiteral("TABNUM")).SetInteger(n);
        sr.FieldByName(QStringLiteral("PODR")).SetInteger(n % 3);
        sr.Post();
        srh.Append();
        srh.FieldByName(QStringLiteral("TABNUM")).SetInteger(n);
        srh.FieldByName(QStringLiteral("DATEBEG")).SetDateTime(45000 + n);
        srh.Post();
    }
    srh.First();
    srh.Delete();
    tx.Commit();
}

bool Indexed(const TableDef& def, const QString& field)
{
    for (const IndexDef& index : def.indexes)
        if (index.fields.split(QLatin1Char(';')).contains(field, Qt::CaseInsensitive))
            return true;
    return false;
}

// Three rows in every other table, a value of each field's type (Cyrillic
// texts, BLOBs with zero bytes) and NULLs in the second; the first row of
// an AutoInc table is deleted, so the numbering has a gap.
void FillTheOtherTables(const QString& folder)
{
    for (int t = 0; t < TableCount; ++t) {
        const TableDef def = TableStructures()[t].Definition();
        if (def.name == QStringLiteral("SR") || def.name == QStringLiteral("SRH"))
            continue;
        Cursor c(def.name, folder);
        c.Open();
        Transaction tx({&c});
        for (int r = 1; r <= 3; ++r) {
            c.Append();
            for (int f = 0; f < int(def.fields.size()); ++f) {
                const FieldDef& d = def.fields[size_t(f)];
                if (r == 2 && f % 2 == 1 && !d.required && !Indexed(def, d.name))
                    continue;
                const Field field = c.FieldAt(f);
                switch (d.type) {
                case FieldType::Integer: field.SetInteger(r * 1000 + f); break;
                case FieldType::Smallint: field.SetInteger(r * 10 + f); break;
                case FieldType::Float: field.SetFloat(r + f / 8.0); break;
                case FieldType::Date: field.SetDateTime(45000 + r * 31 + f); break;
                case FieldType::DateTime: field.SetDateTime(45000.5 + r * 31 + f); break;
                case FieldType::Boolean: field.SetBoolean(r % 2 == 1); break;
                case FieldType::String:
                    field.SetString(QStringLiteral("Ёж %1-%2").arg(r).arg(f).left(d.size > 0 ? d.size : 20));
                    break;
                case FieldType::Blob: field.SetBlob(QByteArray("\0\x01\xff", 3).repeated(r * 100)); break;
                case FieldType::AutoInc:
                case FieldType::Unknown: break;
                }
            }
            c.Post();
        }
        if (!def.fields.empty() && def.fields[0].type == FieldType::AutoInc) {
            c.First();
            c.Delete();
        }
        tx.Commit();
    }
}

// Name and checksum of every file of the folder but the lock file.
QStringList FileHashes(const QString& folder)
{
    QStringList out;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (name == QStringLiteral("~~Shared.tmp"))
            continue;
        QFile f(folder + name);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        out << name + QLatin1Char(' ')
                + QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex());
    }
    return out;
}

QString TableFileName(const QString& table) { return table + Tables::Extension(); }

void Damage(const QString& folder)
{
    Tables::Empty(QStringLiteral("SR"), folder);
    Tables::Empty(QStringLiteral("SRH"), folder);
}

class SaveRestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fx.OpenDataBase();
        Fill(fx.DataPath());
        FillTheOtherTables(fx.DataPath());
        obj.DataPath = fx.DataPath();
        obj.CopyPath = dest.path() + QStringLiteral("/ARC");
        obj.ExtraFiles = {fx.DataPath() + ProgramName() + QStringLiteral(".ini")};
        obj.ReservPath = dest.path() + QStringLiteral("/RES");
    }
    void UseArj()
    {
        obj.Archivate = true;
        obj.SetArchiver(QStringLiteral("arj"));
        obj.SetDeArchiver(QStringLiteral("arj"));
        obj.ArcMask = QStringLiteral("Qor_arj.a*");
    }

    DataFolderFixture fx;
    QTemporaryDir dest;
    TSaveRestObject obj;
};

} // namespace

// Every table's indexes as the catalogue defines them.
namespace {
QStringList CatalogueIndexes()
{
    QStringList out;
    for (int i = 0; i < TableCount; ++i) {
        QStringList indexes;
        for (const IndexDef& index : TableStructures()[i].Definition().indexes)
            indexes.append(index.name + QLatin1Char(':') + index.fields);
        out.append(TableStructures()[i].Name() + QLatin1Char(' ') + indexes.join(QLatin1Char(',')));
    }
    return out;
}
} // namespace

namespace {
QStringList IndexLines(const QStringList& dump)
{
    QStringList out;
    for (const QString& line : dump)
        if (line.contains(QLatin1Char(' ')) && TableStructures().NumberOf(line.section(QLatin1Char(' '), 0, 0)) >= 0
            && !line.contains(QLatin1Char('|')))
            out.append(line);
    return out;
}
} // namespace

TEST_F(SaveRestTest, ArjRoundTripRestoresEveryTableWithItsIndexesAndTheSavedIni)
{
    UseArj();
    obj.DelTmp = true;
    obj.ArcMask = QStringLiteral("QOR_ARJ.A*"); // the archive is "Qor_arj": letter case does not matter
    obj.WorkPath = dest.path() + QStringLiteral("/Рабочий каталог/"); // arj reads these names from ARC.INC
    // No table file may be open while the archiver reads or writes them.
    int launched = 0;
    obj.NewLauncher = [&] {
        ++launched;
        EXPECT_EQ(TableFile::OpenCount(), 0);
        return std::make_unique<Tyq_Launcher>();
    };
    IniSavingEnabled = true;
    Cfg.Workdate = EncodeDate(2024, 3, 31);
    SaveDataConfiguration();
    const QStringList before = Dump(fx.DataPath());
    ASSERT_EQ(IndexLines(before), CatalogueIndexes());
    {
        ScriptedMessages msgs;
        QDir(obj.CopyPath).mkpath(QStringLiteral("."));
        ASSERT_TRUE(obj.Save());
    }
    ASSERT_TRUE(QFileInfo::exists(obj.CopyPath + QStringLiteral("/Qor_arj.arj")));
    Damage(fx.DataPath());
    Cfg.Workdate = EncodeDate(2024, 4, 30);
    SaveDataConfiguration();
    ASSERT_NE(Dump(fx.DataPath()), before);
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Question).Details(QStringLiteral("Продолжить ?")).Yes();
        ASSERT_TRUE(obj.Restore());
        EXPECT_TRUE(msgs.Log()[0].title.startsWith(QStringLiteral("Сохранение данных.\r\n\r\nВыполнено \t")));
    }
    EXPECT_EQ(Dump(fx.DataPath()), before);
    EXPECT_EQ(launched, 2);
    // The restored INI is the one read, and the shutdown's save keeps it.
    EXPECT_EQ(Cfg.Workdate, EncodeDate(2024, 3, 31));
    SaveSettings();
    IniSavingEnabled = false;
    const QByteArray ini = ReadFileBytes(DataIni().FileName());
    EXPECT_TRUE(ini.contains("Workdate=20240331")) << ini.toStdString();
}

TEST_F(SaveRestTest, FolderSaveWithoutArchiverIsReadInPlace)
{
    const QStringList before = Dump(fx.DataPath());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice).Title(QStringLiteral("Не найден директорий")).Press(QStringLiteral("Создать"));
        ASSERT_TRUE(obj.Save());
    }
    EXPECT_TRUE(QFileInfo::exists(obj.CopyPath + QStringLiteral("/ARC.INC")));
    Damage(fx.DataPath());
    // A journal a crash left goes with its table, never stays beside the new file.
    const QString journal = fx.DataPath() + QStringLiteral("sr.db-JOURNAL");
    WriteFileBytes(journal, QByteArray(1024, '\x33'));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Yes();
    ASSERT_TRUE(obj.Restore());
    EXPECT_EQ(Dump(fx.DataPath()), before);
    EXPECT_FALSE(QFileInfo::exists(journal));
    EXPECT_TRUE(QFileInfo::exists(obj.CopyPath + QStringLiteral("/SR.DB"))) << "files read in place stay";
}

// Damaged volumes of a set: the archiver's failure is shown as a clerk can
// read it; a volume cut short is named and refused before it runs.
TEST_F(SaveRestTest, ADamagedArchiveIsRefusedAndTheDataBaseStaysAsItWas)
{
    UseArj();
    obj.ArchiverParams = QStringLiteral("a Qor_arj !ARC.INC -v10K -y");
    QDir(obj.CopyPath).mkpath(QStringLiteral("."));
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.Save());
    }
    const QStringList volumes = QDir(obj.CopyPath).entryList({QStringLiteral("Qor_arj.a*")}, QDir::Files, QDir::Name);
    ASSERT_GT(volumes.size(), 2) << "a set of volumes";
    for (const QString& v : volumes)
        EXPECT_EQ(ArjVolumeDamage(obj.CopyPath + QLatin1Char('/') + v), QString()) << v.toStdString();
    const QString first = obj.CopyPath + QStringLiteral("/Qor_arj.arj");
    const QString last = obj.CopyPath + QLatin1Char('/') + volumes[volumes.size() - 2]; // .a01 sorts before .arj
    const QByteArray whole = ReadFileBytes(first), wholeLast = ReadFileBytes(last);
    Cursor sr(QStringLiteral("SR"), fx.DataPath());
    sr.Open();
    sr.First();
    sr.Delete(); // a change after the save, which the refused restore must keep
    sr.Close();
    const QStringList before = Dump(fx.DataPath());
    struct Row {
        const char* name;
        std::function<void()> spoil;
        QString title;
        QString says;
    };
    const QList<Row> rows = {
        {"bytes flipped",
            [&] {
                QByteArray bytes = whole;
                for (qsizetype i = bytes.size() / 3; i < bytes.size() / 3 + 64; ++i)
                    bytes[i] = static_cast<char>(~bytes[i]);
                WriteFileBytes(first, bytes);
            },
            QString(), QStringLiteral("завершилась с ошибкой")},
        {"the first volume cut in half", [&] { WriteFileBytes(first, whole.left(whole.size() / 2)); },
            QStringLiteral("Файл архива поврежден"), first + QStringLiteral("\r\nФайл обрезан: в нем ")},
        {"the last volume cut short",
            [&] {
                WriteFileBytes(first, whole);
                WriteFileBytes(last, wholeLast.left(wholeLast.size() - 3));
            },
            QStringLiteral("Файл архива поврежден"), last + QStringLiteral("\r\nФайл обрезан: в нем ")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.spoil();
        ScriptedMessages msgs;
        auto& error = msgs.Expect(MsgKind::Error).Containing(row.says);
        if (!row.title.isEmpty())
            error.Title(row.title);
        EXPECT_FALSE(obj.Restore());
        EXPECT_EQ(Dump(fx.DataPath()), before);
        for (const MessageRecord& m : msgs.Log())
            for (const QChar c : m.title + m.details)
                EXPECT_TRUE(c.unicode() >= 0x20 || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                    << "control character " << int(c.unicode()) << " in " << m.details.toStdString();
    }
}

TEST_F(SaveRestTest, RefusalsLeaveTheDataBaseAndSayWhy)
{
    const QStringList before = Dump(fx.DataPath());
    struct Row {
        const char* name;
        std::function<void(TSaveRestObject&)> setUp;
        bool restore;
        QString says;
    };
    const QList<Row> rows = {
        {"failing archiver",
            [](TSaveRestObject& o) {
                o.Archivate = true;
                o.SetArchiver(QStringLiteral("/bin/sh"));
                o.ArchiverParams = QStringLiteral("-c \"echo no disk; exit 7\"");
            },
            false, QStringLiteral("завершилась с ошибкой (код 7)")},
        {"missing archiver",
            [](TSaveRestObject& o) {
                o.Archivate = true;
                o.SetArchiver(QStringLiteral("/nonexistent/arj"));
            },
            false, QStringLiteral("LaunchError: 2")},
        {"copy path is the data folder", [this](TSaveRestObject& o) { o.CopyPath = fx.DataPath(); }, false,
            QStringLiteral("Путь копирования не может находиться")},
        {"no archive volumes",
            [](TSaveRestObject& o) {
                o.Archivate = true;
                o.ArcMask = QStringLiteral("Qor_arj.a*");
            },
            true, QStringLiteral("Не обнаружено ни одного файла на устройстве ")},
        {"no ARC.INC", [](TSaveRestObject&) {}, true, QStringLiteral("Не найден служебный файл\r\n")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TSaveRestObject o;
        o.DataPath = fx.DataPath();
        o.CopyPath = dest.path();
        row.setUp(o);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Containing(row.says);
        EXPECT_FALSE(row.restore ? o.Restore() : o.Save());
        EXPECT_EQ(Dump(fx.DataPath()), before);
    }
}

namespace {

// Raises once at the n-th table-layer call of one kind: a process that died there.
DbCall g_failKind = DbCall::Exec;
int g_failLeft = 0;
void FailAt(DbCall call)
{
    if (call == g_failKind && g_failLeft > 0 && --g_failLeft == 0)
        throw EAppException(QStringLiteral("injected failure"));
}

} // namespace

// A folder with room for the new copy beside the old one takes it in one
// swap; with less room, a failed copy or a swap cut short, the old archive
// stays whole (or the next restore finishes the swap) and the clerk is told.
TEST_F(SaveRestTest, TheOnlyArchiveIsReplacedWholeOrNotAtAll)
{
    QDir(obj.CopyPath).mkpath(QStringLiteral("."));
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.Save());
    }
    const QStringList oldDump = Dump(obj.CopyPath);
    Damage(fx.DataPath()); // the new save differs from the old one
    const QString arc = obj.CopyPath + QLatin1Char('/');
    struct Row {
        const char* name;
        int64_t spare; // bytes free beyond the new copy's size
        DbCall failKind;
        int failAt;
        QString title;
        QString says;
        bool replaced;
    };
    const QList<Row> rows = {
        {"no room for both", -1, DbCall::Write, 0, QStringLiteral("Недостаточно места для архива"),
            QStringLiteral(". Освободите еще 1 КБ или выберите другой путь копирования.\r\nПрежний архив сохранен."),
            false},
        {"a copy that fails", 0, DbCall::Write, 5, QStringLiteral("Ошибка копирования файла"),
            QStringLiteral("\r\nПричина: injected failure"), false},
        {"a swap cut short", 0, DbCall::Rename, 3, QStringLiteral("Архив не заменен до конца"),
            QStringLiteral("при следующем сохранении или восстановлении"), true},
        {"room for exactly one new copy", 0, DbCall::Write, 0, QString(), QString(), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QStringList hashes = FileHashes(arc);
        FolderDisk disk(arc, [&] { return FolderDisk::Bytes(obj.WorkFolderPath()) + row.spare; });
        bool ok = false;
        {
            ScriptedMessages msgs;
            if (!row.title.isEmpty())
                msgs.Expect(MsgKind::Error).Containing(row.title).Containing(row.says);
            g_failKind = row.failKind;
            g_failLeft = row.failAt;
            SetDbCallHook(FailAt);
            ok = obj.Save();
            SetDbCallHook(nullptr);
            EXPECT_EQ(g_failLeft, 0) << "the failure was never injected";
        }
        EXPECT_EQ(ok, row.title.isEmpty());
        if (!row.replaced) {
            EXPECT_EQ(FileHashes(arc), hashes) << "the old archive stays as it was";
            EXPECT_FALSE(QFileInfo::exists(RestoreStagingFolder(arc)));
            continue;
        }
        // What a restore reads: a swap cut short is finished first.
        TSaveRestObject reader;
        reader.DataPath = obj.CopyPath + QStringLiteral("/../READ/");
        reader.CopyPath = obj.CopyPath;
        reader.ExtraFiles = obj.ExtraFiles;
        QDir().mkpath(reader.DataPath);
        {
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Question).No();
            EXPECT_FALSE(reader.Restore());
        }
        EXPECT_FALSE(QFileInfo::exists(arc + RestoreJournalName()));
        EXPECT_FALSE(QFileInfo::exists(RestoreStagingFolder(arc)));
        EXPECT_EQ(Dump(obj.CopyPath), Dump(obj.WorkFolderPath())) << "the new copy";
        EXPECT_NE(Dump(obj.CopyPath), oldDump);
    }
}

// An earlier save left whole in the work folder must not stand in for the
// archive chosen: neither when the de-archiver fails halfway, nor when it
// ends well but brings nothing.
TEST_F(SaveRestTest, AFailingDeArchiverNeverLetsAnOlderSaveStandIn)
{
    {
        TSaveRestObject local; // no copy path: the work folder keeps the save
        local.DataPath = fx.DataPath();
        ScriptedMessages msgs;
        ASSERT_TRUE(local.Save());
        ASSERT_TRUE(ReadArcHiveIni(local.WorkFolderPath()).SuccsessOperation);
    }
    QDir(obj.CopyPath).mkpath(QStringLiteral("."));
    WriteFileBytes(obj.CopyPath + QStringLiteral("/Qor_arj.arj"), "volume");
    Damage(fx.DataPath());
    const QStringList hashes = FileHashes(fx.DataPath());
    const QString half
        = QStringLiteral("head -c 3000 '%1' > %2")
              .arg(fx.DataPath() + TableFileName(QStringLiteral("SRD")), TableFileName(QStringLiteral("SRD")));
    struct Row {
        const char* name;
        QString script;
        QString says;
    };
    for (const Row& row : {Row{"half a table, exit 6", half + QStringLiteral("; exit 6"),
                               QStringLiteral("завершилась с ошибкой (код 6)")},
             Row{"nothing, exit 0", QStringLiteral("true"), QStringLiteral("Не найден служебный файл\r\n")}}) {
        SCOPED_TRACE(row.name);
        UseArj();
        obj.SetDeArchiver(QStringLiteral("/bin/sh"));
        obj.DeArchiverParams = QStringLiteral("-c \"") + row.script + QLatin1Char('"');
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Containing(row.says);
        EXPECT_FALSE(obj.Restore());
        EXPECT_EQ(FileHashes(fx.DataPath()), hashes);
    }
}

TEST_F(SaveRestTest, AMissingOrBrokenFileIsRefusedBeforeAnythingIsReplaced)
{
    QDir(obj.CopyPath).mkpath(QStringLiteral("."));
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.Save());
    }
    const QString srh = obj.CopyPath + QLatin1Char('/') + TableFileName(QStringLiteral("SRH"));
    const QByteArray whole = ReadFileBytes(srh);
    Damage(fx.DataPath());
    const QStringList hashes = FileHashes(fx.DataPath());
    struct Row {
        const char* name;
        std::function<void()> spoil;
    };
    for (const Row& row : {Row{"missing", [&] { QFile::remove(srh); }},
             Row{"cut short", [&] { WriteFileBytes(srh, whole.left(whole.size() / 2)); }},
             Row{"not a table", [&] { WriteFileBytes(srh, QByteArray(4096, 'x')); }}}) {
        SCOPED_TRACE(row.name);
        row.spoil();
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Question).Yes();
        msgs.Expect(MsgKind::Error)
            .Title(QStringLiteral("Файл архива отсутствует или поврежден"))
            .Containing(TableFileName(QStringLiteral("SRH")));
        EXPECT_FALSE(obj.Restore());
        EXPECT_EQ(FileHashes(fx.DataPath()), hashes);
        EXPECT_FALSE(QFileInfo::exists(RestoreStagingFolder(fx.DataPath())));
    }
}

TEST_F(SaveRestTest, AReserveCopyStoppedMidwayCannotBeRestored)
{
    QDir().mkpath(obj.ReservFolderPath());
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.ReserveSave()); // a whole copy first: the stopped one must do away with it
    }
    obj.ShowBars = true;
    {
        ScriptedMessages msgs;
        RecordingProgress progress;
        progress.StopAtStep(4);
        EXPECT_FALSE(obj.ReserveSave());
    }
    EXPECT_FALSE(QFileInfo::exists(obj.ReservFolderPath() + ArcIncName()));
    Damage(fx.DataPath());
    const QStringList hashes = FileHashes(fx.DataPath());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Не найден служебный файл\r\n") + obj.ReservFolderPath() + ArcIncName());
    EXPECT_FALSE(obj.ReserveRestore());
    EXPECT_EQ(FileHashes(fx.DataPath()), hashes);
}

// The list names the folders of the day of the copy; the files go back
// into the data folder of today by name, and a list that names anything
// but the data base's files is refused.
TEST_F(SaveRestTest, AReserveRestoreGoesIntoTodaysDataFolderByName)
{
    const QStringList before = Dump(fx.DataPath());
    QDir().mkpath(obj.ReservFolderPath());
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.ReserveSave());
    }
    const QString inc = obj.ReservFolderPath() + ArcIncName();
    QByteArray moved = ReadFileBytes(inc);
    moved.replace(fx.DataPath().toUtf8(), "/home/old/QOR/DB/");
    ASSERT_FALSE(moved.contains(fx.DataPath().toUtf8()));
    {
        WriteFileBytes(inc, moved + "/etc/passwd\n");
        WriteFileBytes(obj.ReservFolderPath() + QStringLiteral("passwd"), "root");
        Damage(fx.DataPath());
        const QStringList hashes = FileHashes(fx.DataPath());
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Question).Yes();
        msgs.Expect(MsgKind::Error)
            .Title(QStringLiteral("Список резервной копии называет чужой файл"))
            .Details(QStringLiteral("passwd"));
        EXPECT_FALSE(obj.ReserveRestore());
        EXPECT_EQ(FileHashes(fx.DataPath()), hashes);
    }
    // A journal a crash left beside a live table is not played back over the copy.
    const QString journal = fx.DataPath() + TableFileName(QStringLiteral("SR")) + QStringLiteral("-journal");
    WriteFileBytes(journal, QByteArray(2048, '\x5a'));
    WriteFileBytes(inc, moved);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Yes();
    ASSERT_TRUE(obj.ReserveRestore());
    EXPECT_FALSE(QFileInfo::exists(journal));
    EXPECT_EQ(Dump(fx.DataPath()), before);
    EXPECT_FALSE(QDir(QStringLiteral("/home/old/QOR")).exists());
}

// "Закрыть программу" after a failed copy: the shutdown must not write the
// old data base's settings over the INI that may already be restored.
TEST_F(SaveRestTest, EndingTheProgramInAReserveRestoreKeepsTheIniAsRestored)
{
    QDir().mkpath(obj.ReservFolderPath());
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.ReserveSave());
    }
    obj.DataPath = fx.DataPath() + QStringLiteral("gone/"); // every copy back fails
    IniSavingEnabled = true;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Yes();
    msgs.Expect(MsgKind::ErrorChoice)
        .Title(QStringLiteral("Ошибка копирования файла\r\n") + obj.ReservFolderPath() + ProgramName()
            + QStringLiteral(".ini  в\r\n") + obj.DataPath + ProgramName()
            + QStringLiteral(".ini\r\nПричина: Cannot create file \"") + obj.DataPath + ProgramName()
            + QStringLiteral(".ini\". No such file or directory"))
        .Press(QStringLiteral("Закрыть программу"));
    EXPECT_FALSE(obj.ReserveRestore());
    EXPECT_TRUE(ApplicationTerminating());
    EXPECT_FALSE(IniSavingEnabled);
    SetApplicationTerminating(false);
}

// The compression swaps one table at a time; whichever call fails, every
// table is back in the data folder, whole and with its indexes.
TEST_F(SaveRestTest, ACompressionThatFailsPutsTheTableBack)
{
    const QStringList before = Dump(fx.DataPath());
    obj.ShowBars = true;
    static int s_execs = 0;
    s_execs = 0;
    {
        ScriptedMessages msgs;
        RecordingProgress progress;
        SetDbCallHook([](DbCall call) {
            if (call == DbCall::Exec)
                ++s_execs;
        });
        const bool ok = obj.Compress();
        SetDbCallHook(nullptr);
        ASSERT_TRUE(ok);
    }
    ASSERT_GT(s_execs, 20);
    int afterTheSwap = 0;
    for (int k = 1; k <= 7; ++k) {
        const int n = s_execs * k / 8;
        SCOPED_TRACE(n);
        ScriptedMessages msgs;
        RecordingProgress progress;
        g_failKind = DbCall::Exec;
        g_failLeft = n;
        SetDbCallHook(FailAt);
        EXPECT_THROW(obj.Compress(), EAppException);
        SetDbCallHook(nullptr);
        EXPECT_EQ(g_failLeft, 0);
        QString last;
        for (const QString& line : progress.Log())
            if (line.startsWith(QStringLiteral("Mess 0 ")))
                last = line;
        if (last == QStringLiteral("Mess 0 Индексация новых данных"))
            ++afterTheSwap;
        EXPECT_EQ(Dump(fx.DataPath()), before);
    }
    EXPECT_GT(afterTheSwap, 0) << "no failure hit a table already moved in";
    // The numbering goes on after the highest number kept.
    Cursor srh(QStringLiteral("SRH"), fx.DataPath());
    srh.Open();
    srh.Last();
    const int64_t last = srh.FieldAt(0).AsInteger();
    srh.Append();
    srh.FieldByName(QStringLiteral("TABNUM")).SetInteger(99);
    srh.Post();
    EXPECT_EQ(srh.FieldAt(0).AsInteger(), last + 1);
}

// The period close holds the data base alone and opens the save dialog:
// the dialog's operation must not give that lock away.
TEST_F(SaveRestTest, OperationsGiveTheLockBackInTheModeTheyFoundIt)
{
    const auto mode = [] { return AppContext().Lock->CurrentMode(); };
    for (const bool exclusive : {true, false}) {
        SCOPED_TRACE(exclusive);
        ASSERT_TRUE(exclusive ? LockDataBaseExclusive() : LockDataBaseShared());
        ScriptedMessages msgs;
        obj.CopyPath.clear();
        EXPECT_TRUE(obj.Save());
        EXPECT_EQ(mode(), exclusive ? DataFolderLock::Mode::Exclusive : DataFolderLock::Mode::Shared);
        QDir().mkpath(obj.ReservFolderPath());
        EXPECT_TRUE(obj.ReserveSave());
        msgs.Expect(MsgKind::Question).Yes();
        EXPECT_TRUE(obj.ReserveRestore());
        EXPECT_EQ(mode(), exclusive ? DataFolderLock::Mode::Exclusive : DataFolderLock::Mode::Shared);
    }
}

TEST_F(SaveRestTest, AnUnfinishedSaveIsRefused)
{
    QDir(obj.CopyPath).mkpath(QStringLiteral("."));
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.Save());
    }
    WriteArcHiveIni(obj.CopyPath, {45000, QStringLiteral("10:00:00"), 45000, false});
    Damage(fx.DataPath());
    const QStringList damaged = Dump(fx.DataPath());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral(
            "Операция по сохранению данных не была успешно завершена.\r\nВосстановление данных невозможно !!!"));
    EXPECT_FALSE(obj.Restore());
    EXPECT_EQ(Dump(fx.DataPath()), damaged);
}

TEST_F(SaveRestTest, ReserveCopyRoundTripAndCompressionKeepEveryRow)
{
    const QStringList before = Dump(fx.DataPath());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice)
            .Title(QStringLiteral("Директорий отсутствует:"))
            .Press(QStringLiteral("Создать директорий"));
        ASSERT_TRUE(obj.ReserveSave());
    }
    EXPECT_TRUE(ReadArcHiveIni(obj.ReservFolderPath()).SuccsessOperation);
    Damage(fx.DataPath());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Question).Yes();
        ASSERT_TRUE(obj.ReserveRestore());
        EXPECT_TRUE(msgs.Log()[0].title.startsWith(QStringLiteral("Резервная копия.\r\n\r\nВыполнена \t")));
    }
    EXPECT_EQ(Dump(fx.DataPath()), before);
    ScriptedMessages msgs;
    ASSERT_TRUE(obj.Compress());
    EXPECT_EQ(Dump(fx.DataPath()), before);
    obj.Batch = true;
    ASSERT_TRUE(obj.Compress());
    EXPECT_EQ(Dump(fx.DataPath()), before);
}

TEST_F(SaveRestTest, ARestoreCutShortIsFinishedOrUndoneAtTheNextStart)
{
    const QStringList saved = Dump(fx.DataPath());
    {
        ScriptedMessages msgs;
        QDir(obj.CopyPath).mkpath(QStringLiteral("."));
        ASSERT_TRUE(obj.Save());
    }
    struct Row {
        const char* name;
        DbCall kind;
        int n;
        bool restored;
    };
    for (const Row& row : {Row{"while indexing the new files", DbCall::Exec, 3, false},
             Row{"after the journal", DbCall::CreateFile, 1, true},
             Row{"after the first file moved in", DbCall::Rename, 1, true},
             Row{"after the twelfth", DbCall::Rename, 12, true},
             Row{"after the last file moved in", DbCall::Remove, 1, true}}) {
        SCOPED_TRACE(row.name);
        Damage(fx.DataPath());
        const QStringList damaged = Dump(fx.DataPath());
        {
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Question).Yes();
            if (row.restored)
                msgs.Expect(MsgKind::Error).Title(QStringLiteral("Восстановление данных не завершено"));
            g_failKind = row.kind;
            g_failLeft = row.n;
            SetDbCallHook(FailAt);
            bool ok = true;
            try {
                ok = obj.Restore();
            } catch (const Exception&) {
                ok = false;
            }
            SetDbCallHook(nullptr);
            EXPECT_FALSE(ok);
            EXPECT_EQ(g_failLeft, 0) << "the failure was never injected";
        }
        // Data already replaced never lies beside a staging folder without
        // its journal, which the next start would take for a swap never begun.
        EXPECT_FALSE(QFileInfo(RestoreStagingFolder(fx.DataPath())).isDir()
            && !QFileInfo::exists(fx.DataPath() + RestoreJournalName()));
        SetApplicationTerminating(false);
        fx.CloseDataBase();
        fx.OpenDataBase();
        EXPECT_EQ(Dump(fx.DataPath()), row.restored ? saved : damaged);
        EXPECT_FALSE(QFileInfo::exists(fx.DataPath() + RestoreJournalName()));
        EXPECT_FALSE(QFileInfo::exists(RestoreStagingFolder(fx.DataPath())));
    }
}

TEST_F(SaveRestTest, AStopInTheMiddleLeavesTheDataBaseAndAnUnfinishedSave)
{
    obj.ShowBars = true;
    QDir(obj.CopyPath).mkpath(QStringLiteral("."));
    {
        ScriptedMessages msgs;
        RecordingProgress progress;
        progress.StopAtStep(3); // the third table
        EXPECT_FALSE(obj.Save());
        EXPECT_FALSE(progress.Active());
    }
    EXPECT_FALSE(QFileInfo::exists(obj.CopyPath + QStringLiteral("/ARC.INC"))) << "nothing copied";
    EXPECT_FALSE(ReadArcHiveIni(obj.WorkFolderPath()).SuccsessOperation);
    {
        // The stopped save, read where it lies, is refused before any file is touched.
        TSaveRestObject from;
        from.DataPath = fx.DataPath();
        from.CopyPath = obj.WorkFolderPath();
        Damage(fx.DataPath());
        const QStringList hashes = FileHashes(fx.DataPath());
        ScriptedMessages msgs;
        // The list is written once every table is in: a stopped save has none.
        msgs.Expect(MsgKind::Error).Containing(QStringLiteral("Не найден служебный файл"));
        EXPECT_FALSE(from.Restore());
        EXPECT_EQ(FileHashes(fx.DataPath()), hashes);
    }
    Fill(fx.DataPath());
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.Save());
    }
    Damage(fx.DataPath());
    const QStringList damaged = Dump(fx.DataPath());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Yes();
    RecordingProgress progress;
    progress.StopAtStep(20); // among the indexes of the new files
    EXPECT_FALSE(obj.Restore());
    EXPECT_TRUE(progress.Log().contains(QStringLiteral("Mess 0 Индексация новых данных")));
    EXPECT_FALSE(progress.Log().contains(QStringLiteral("Mess 0 Удаление старых данных")));
    EXPECT_EQ(Dump(fx.DataPath()), damaged);
    EXPECT_FALSE(QFileInfo::exists(RestoreStagingFolder(fx.DataPath())));
}

// A stop while the archiver packs: it is ended, not left writing into the
// work folder, and the save reports no success.
TEST_F(SaveRestTest, AStopWhileTheArchiverRunsEndsIt)
{
    obj.ShowBars = true;
    obj.Archivate = true;
    obj.SetArchiver(QStringLiteral("/bin/sh"));
    obj.ArchiverParams = QStringLiteral("-c \"sleep 1; touch late.a01; sleep 30\"");
    obj.ArcMask = QStringLiteral("*.a01");
    QDir(obj.CopyPath).mkpath(QStringLiteral("."));
    ScriptedMessages msgs;
    RecordingProgress progress;
    int launched = 0;
    obj.NewLauncher = [&] {
        ++launched;
        progress.SetStopped(true); // the clerk's stop, while it runs
        return std::make_unique<Tyq_Launcher>();
    };
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(obj.Save());
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(launched, 1);
    QThread::msleep(1500);
    EXPECT_FALSE(QFileInfo::exists(obj.WorkFolderPath() + QStringLiteral("late.a01"))) << "the archiver ran on";
    EXPECT_TRUE(QDir(obj.CopyPath).isEmpty());
}

TEST_F(SaveRestTest, FloppyDialogueWritesOntoTheMappedDriveAndGathersFromIt)
{
    QTemporaryDir floppy;
    SetFloppyFolder(0, floppy.path());
    UseArj();
    obj.CopyPath = QStringLiteral("a:");
    const QStringList before = Dump(fx.DataPath());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice)
            .Title(QStringLiteral("Копирование файлов"))
            .Details(QStringLiteral("Вставьте дискету в дисковод\r\nФайл: Qor_arj.arj"))
            .Press(QStringLiteral("Копировать"));
        msgs.Expect(MsgKind::Question)
            .Details(QStringLiteral("Провести копирование на СЛЕДУЮЩИЙ комплект дискет?"))
            .Yes();
        // The second set: the disk holds the first set's volume.
        msgs.Expect(MsgKind::Choice).Title(QStringLiteral("Копирование файлов")).Press(QStringLiteral("Копировать"));
        msgs.Expect(MsgKind::Choice)
            .Title(QStringLiteral("На дискете имеются данные"))
            .Press(QStringLiteral("Очистить дискету"));
        msgs.Expect(MsgKind::Question)
            .Details(QStringLiteral("Провести копирование на СЛЕДУЮЩИЙ комплект дискет?"))
            .PressEsc();
        EXPECT_TRUE(obj.Save());
    }
    EXPECT_TRUE(QFileInfo::exists(floppy.path() + QStringLiteral("/Qor_arj.arj")));
    Damage(fx.DataPath());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Containing(QStringLiteral("необходимо"));
        const QString insert = QStringLiteral("Вставьте дискету в дисковод A:");
        msgs.Expect(MsgKind::Choice).Title(insert).Press(QStringLiteral("Копировать с дискет"));
        msgs.Expect(MsgKind::Choice).Title(insert).Press(QStringLiteral("Продолжить"));
        msgs.Expect(MsgKind::Choice)
            .Title(QStringLiteral("Данные скопированы полностью ?"))
            .Press(QStringLiteral("Да"));
        msgs.Expect(MsgKind::Question).Details(QStringLiteral("Продолжить ?")).Yes();
        EXPECT_TRUE(obj.Restore());
    }
    EXPECT_EQ(Dump(fx.DataPath()), before);
    // The ways out of the floppy loop restore nothing.
    Damage(fx.DataPath());
    const QStringList hashes = FileHashes(fx.DataPath());
    const QString insert = QStringLiteral("Вставьте дискету в дисковод A:");
    struct Row {
        const char* name;
        std::function<void(ScriptedMessages&)> answers;
    };
    const QList<Row> rows = {
        {"stop",
            [&](ScriptedMessages& m) { m.Expect(MsgKind::Choice).Title(insert).Press(QStringLiteral("Прекратить")); }},
        {"not all copied",
            [&](ScriptedMessages& m) {
                m.Expect(MsgKind::Choice).Title(insert).PressEsc(); // Esc: copy from the floppy, and ask again
                m.Expect(MsgKind::Choice).Title(insert).Press(QStringLiteral("Продолжить"));
                m.Expect(MsgKind::Choice).Title(QStringLiteral("Данные скопированы полностью ?")).PressEsc();
            }},
        {"empty floppy",
            [&](ScriptedMessages& m) {
                QFile::remove(floppy.path() + QStringLiteral("/Qor_arj.arj"));
                m.Expect(MsgKind::Choice).Title(insert).Press(QStringLiteral("Копировать с дискет"));
                m.Expect(MsgKind::Choice)
                    .Title(QStringLiteral("Не обнаружено ни одного файла на устройстве A:\r\nудовлетворяющего маске "
                                          "архивных файлов [Qor_arj.a*]"))
                    .Press(QStringLiteral("Прекратить"));
            }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Ok();
        row.answers(msgs);
        EXPECT_FALSE(obj.Restore());
        EXPECT_EQ(FileHashes(fx.DataPath()), hashes);
    }
    SetFloppyFolder(0, QString());
}

// A set of disks from which the clerk skipped a volume cannot be
// restored: the save is not reported as done.
TEST_F(SaveRestTest, AFloppySetWithASkippedVolumeIsAnIncompleteSave)
{
    QTemporaryDir floppy;
    SetFloppyFolder(0, floppy.path());
    UseArj();
    obj.CopyPath = QStringLiteral("a:");
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Choice).Title(QStringLiteral("Копирование файлов")).Press(QStringLiteral("Следующий файл"));
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Комплект дискет неполон"))
        .Details(QStringLiteral("Не записаны файлы: Qor_arj.arj\r\nВосстановить данные с этого комплекта нельзя."));
    msgs.Expect(MsgKind::Question).Details(QStringLiteral("Провести копирование на СЛЕДУЮЩИЙ комплект дискет?")).No();
    msgs.Expect(MsgKind::Error).Title(QStringLiteral("Сохранение данных не завершено"));
    EXPECT_FALSE(obj.Save());
    EXPECT_FALSE(QFileInfo::exists(floppy.path() + QStringLiteral("/Qor_arj.arj")));
    SetFloppyFolder(0, QString());
}

TEST(RestoreJournalTest, ADamagedJournalNeverTouchesFilesOutsideTheDataFolder)
{
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/DB/");
    WriteFileBytes(dir.path() + QStringLiteral("/KEEP.DB"), "outside");
    WriteFileBytes(data + QStringLiteral("OLD.DB"), "old");
    struct Row {
        const char* name;
        QByteArray journal;
        bool oldStays;
    };
    for (const Row& row : {Row{"damaged", "D ../KEEP.DB\nD /tmp\nP ..\nD \nXYZ\n\xff\xfe\n", true},
             Row{"whole", "D OLD.DB\nP NEW.DB\n", false}}) {
        SCOPED_TRACE(row.name);
        WriteFileBytes(RestoreStagingFolder(data) + QStringLiteral("NEW.DB"), "new");
        WriteFileBytes(data + RestoreJournalName(), row.journal);
        EXPECT_TRUE(RecoverRestore(data));
        EXPECT_FALSE(QFileInfo::exists(data + RestoreJournalName()));
        EXPECT_FALSE(QFileInfo::exists(RestoreStagingFolder(data)));
        EXPECT_EQ(QFileInfo::exists(data + QStringLiteral("OLD.DB")), row.oldStays);
        EXPECT_EQ(QFileInfo::exists(data + QStringLiteral("NEW.DB")), !row.oldStays);
    }
    EXPECT_EQ(ReadFileBytes(dir.path() + QStringLiteral("/KEEP.DB")), "outside");
    EXPECT_EQ(ReadFileBytes(data + QStringLiteral("NEW.DB")), "new");
}

TEST(SaveRestPathTest, FloppyPathsAndFolderContainment)
{
    TSaveRestObject o;
    o.ReservPath = QStringLiteral("RESERV");
    EXPECT_EQ(o.ReservFolderPath(), AddBackslash(ProgramFolder()) + QStringLiteral("RESERV/"));
    o.ReservPath = QStringLiteral("/mnt/copy");
    EXPECT_EQ(o.ReservFolderPath(), QStringLiteral("/mnt/copy/"));
    EXPECT_TRUE(IsFloppyPath(QStringLiteral("b:")));
    EXPECT_TRUE(IsFloppyPath(QStringLiteral("A:\\ARC")));
    EXPECT_FALSE(IsFloppyPath(QStringLiteral("C:\\ARC")));
    EXPECT_FALSE(IsFloppyPath(QString()));
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("DB"));
    QDir(dir.path()).mkpath(QStringLiteral("DB2"));
    EXPECT_TRUE(PathInsideFolder(dir.path() + QStringLiteral("/DB/x"), dir.path() + QStringLiteral("/DB")));
    EXPECT_TRUE(PathInsideFolder(dir.path() + QStringLiteral("/DB2/../DB"), dir.path() + QStringLiteral("/DB/")));
    EXPECT_FALSE(PathInsideFolder(dir.path() + QStringLiteral("/DB2/x"), dir.path() + QStringLiteral("/DB")));
}

TEST(ArcHiveIniTest, DamagedFilesReadAsAnUnfinishedSave)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(ArcHiveIniName());
    struct Row {
        const char* name;
        QByteArray bytes;
        bool success;
    };
    QByteArray huge(70000, '1');
    huge.prepend("[COMMON]\r\nSuccsessOperation=");
    for (const Row& row : {Row{"good", "[COMMON]\r\nCurrentDate=20250101\r\nSuccsessOperation=1\r\n", true},
             Row{"other section", "[OTHER]\nSuccsessOperation=1\n", false},
             Row{"garbage value", "[COMMON]\nSuccsessOperation=yes\nCurrentDate=2025x101\n", false},
             Row{"binary", QByteArray("\x00\xff[COMMON\x00=\n\n=1", 16), false}, Row{"too large", huge, false},
             Row{"empty", QByteArray(), false}}) {
        SCOPED_TRACE(row.name);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(row.bytes);
        f.close();
        EXPECT_EQ(ReadArcHiveIni(dir.path()).SuccsessOperation, row.success);
    }
    WriteArcHiveIni(dir.path(), {45658, QStringLiteral("09:05:07"), 45600, true});
    const TArcHiveInfo back = ReadArcHiveIni(dir.path());
    EXPECT_EQ(back.CurrentDate, 45658);
    EXPECT_EQ(back.CurrentTime, QStringLiteral("09:05:07"));
    EXPECT_EQ(back.DataDate, 45600);
    EXPECT_TRUE(back.SuccsessOperation);
    // What is read is written back and read the same, whatever the time
    // text holds: a lone CR with control characters after it, a CR as the
    // eighth character, a byte CP1251 lacks.
    for (const QByteArray& time :
        {QByteArray("1234567\r\x05"), QByteArray("12:30\r\x01\x02"), QByteArray(" 1234567\r9"), QByteArray("\x98x")}) {
        SCOPED_TRACE(time.toHex().toStdString());
        WriteFileBytes(file, "[COMMON]\r\nCurrentTime=" + time + "\r\nSuccsessOperation=1\r\n");
        const TArcHiveInfo first = ReadArcHiveIni(dir.path());
        WriteArcHiveIni(dir.path(), first);
        const TArcHiveInfo again = ReadArcHiveIni(dir.path());
        EXPECT_EQ(again.CurrentTime, first.CurrentTime);
        EXPECT_TRUE(again.SuccsessOperation);
    }
}
