// Copying files onto floppy disks: temporary folders stand for the disks,
// a test provider tells their free space.

#include "data/Floppy.h"
#include "platform/Disk.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

class SmallDisk final : public IDiskInfo {
public:
    int64_t free = 1 << 20;
    bool writeProtected = false;
    int64_t FreeSpace(const QString&) override { return free; }
    int64_t TotalSpace(const QString&) override { return 1474560; }
    bool IsNetworkFileSystem(const QString&) override { return false; }
    QString WhyNotWritable(const QString&) override
    {
        return writeProtected ? QStringLiteral("только для чтения") : QString();
    }
};

class FloppyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDiskInfo(&disk);
        for (int i = 1; i <= 3; ++i)
            WriteFileBytes(Source(QStringLiteral("ARC.A0%1").arg(i)), QByteArray(1000 * i, char('a' + i)));
    }
    void TearDown() override { SetDiskInfo(nullptr); }

    QString Source(const QString& name) const { return source.path() + QLatin1Char('/') + name; }
    QString Disk(const QString& name) const { return disk1.path() + QLatin1Char('/') + name; }
    QStringList OnDisk() const { return QDir(disk1.path()).entryList(QDir::Files, QDir::Name); }

    const QStringList files = {QStringLiteral("ARC.A01"), QStringLiteral("ARC.A02"), QStringLiteral("ARC.A03")};
    SmallDisk disk;
    QTemporaryDir source, disk1;
    RecordingProgress progress;
};

TEST_F(FloppyTest, CopiesAndComparesEveryFileWithoutPrompts)
{
    ScriptedMessages msgs;
    EXPECT_TRUE(CopyFilesToFloppies(files, source.path(), disk1.path(), false, true));
    EXPECT_EQ(OnDisk(), files);
    EXPECT_EQ(ReadFileBytes(Disk(QStringLiteral("ARC.A03"))), ReadFileBytes(Source(QStringLiteral("ARC.A03"))));
    EXPECT_TRUE(progress.Log().contains(QStringLiteral("Mess 0 Сравнение файлов")));
    EXPECT_FALSE(progress.Active());
}

TEST_F(FloppyTest, AsksForEachDiskAndSkipsOrStopsAsAnswered)
{
    ScriptedMessages msgs;
    const QString ask = QStringLiteral("Вставьте дискету в дисковод\r\nФайл: ");
    msgs.Expect(MsgKind::Choice)
        .Title(QStringLiteral("Копирование файлов"))
        .Details(ask + files[0])
        .Press(QStringLiteral("Копировать"));
    msgs.Expect(MsgKind::Choice).Details(ask + files[1]).Press(QStringLiteral("Следующий файл"));
    msgs.Expect(MsgKind::Choice).Details(ask + files[2]).Press(QStringLiteral("Копировать"));
    // The disk holds the first file now; Esc means stop, never clear.
    msgs.Expect(MsgKind::Choice)
        .Title(QStringLiteral("На дискете имеются данные"))
        .Details(disk1.path() + QLatin1Char('/'))
        .PressEsc();
    EXPECT_FALSE(CopyFilesToFloppies(files, source.path(), disk1.path(), true, false));
    EXPECT_EQ(OnDisk(), QStringList{files[0]}) << "what was copied stays";
}

TEST_F(FloppyTest, ClearsAFullDiskWhenAskedAndAsksAgainWhenTheFileDoesNotFit)
{
    WriteFileBytes(Disk(QStringLiteral("OLD.TXT")), "old");
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Choice).Press(QStringLiteral("Копировать"));
    msgs.Expect(MsgKind::Choice)
        .Title(QStringLiteral("На дискете имеются данные"))
        .Press(QStringLiteral("Очистить дискету"));
    EXPECT_TRUE(CopyFilesToFloppies({files[0]}, source.path(), disk1.path(), true, false));
    EXPECT_EQ(OnDisk(), QStringList{files[0]});

    disk.free = 100; // too small for the file: the next disk is asked for
    msgs.Expect(MsgKind::Choice).Press(QStringLiteral("Копировать"));
    msgs.Expect(MsgKind::Choice).Press(QStringLiteral("Продолжить копирование"));
    msgs.Expect(MsgKind::Choice).Press(QStringLiteral("Прекратить"));
    EXPECT_FALSE(CopyFilesToFloppies({files[1]}, source.path(), disk1.path(), true, false));
}

TEST_F(FloppyTest, AStopLeavesTheFilesCopiedSoFar)
{
    ScriptedMessages msgs;
    // Each file reports its place on bar 1 and its bytes on bar 2; the stop
    // comes while the second file is under way.
    progress.StopAtStep(5);
    EXPECT_FALSE(CopyFilesToFloppies(files, source.path(), disk1.path(), false, false));
    EXPECT_EQ(OnDisk(), QStringList{files[0]}) << progress.Log().join(QLatin1String("; ")).toStdString();
}

TEST_F(FloppyTest, AFailingCopyWithoutPromptsEndsWithItsError)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Ошибка копирования файла"))
        .Containing(QStringLiteral("NONE.A01"));
    EXPECT_FALSE(CopyFilesToFloppies({QStringLiteral("NONE.A01")}, source.path(), disk1.path(), false, false));
}

// With the disk prompt a failed copy says why before the prompt comes
// back; a skipped file is reported to the caller, who must not call the
// copy whole.
TEST_F(FloppyTest, AFailedCopySaysWhyAndASkippedFileIsReported)
{
    struct Case {
        const char* name;
        QString file;
        bool writeProtected;
        const char* reason;
    };
    const Case cases[] = {
        {"unreadable source", QStringLiteral("NONE.A01"), false, "Причина: копируемый файл не читается"},
        {"write-protected disk", files[0], true, "Причина: дискета защищена от записи"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        disk.writeProtected = c.writeProtected;
        // Where the file would go stands a folder (in a folder of its name,
        // which the copy would go into): the copy cannot be put there.
        QDir(disk1.path()).mkpath(c.file + QLatin1Char('/') + c.file);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice)
            .Details(QStringLiteral("Вставьте дискету в дисковод\r\nФайл: ") + c.file)
            .Press(QStringLiteral("Копировать"));
        msgs.Expect(MsgKind::Choice)
            .Title(QStringLiteral("На дискете имеются данные"))
            .Press(QStringLiteral("Продолжить копирование"));
        msgs.Expect(MsgKind::Error)
            .Title(QStringLiteral("Ошибка копирования файла"))
            .Containing(QString::fromUtf8(c.reason));
        msgs.Expect(MsgKind::Choice).Press(QStringLiteral("Следующий файл"));
        QStringList skipped;
        EXPECT_TRUE(CopyFilesToFloppies({c.file}, source.path(), disk1.path(), true, false, nullptr, &skipped));
        EXPECT_EQ(skipped, QStringList{c.file});
        QDir(disk1.path() + QLatin1Char('/') + c.file).removeRecursively();
    }
}

TEST(FloppyClear, NeverClearsTheProgramHomeOrRootFolder)
{
    ScopedProgramFolder program;
    QTemporaryDir other;
    const struct {
        QString folder;
        bool allowed;
    } cases[] = {
        {other.path(), true},
        {program.Path(), false},
        {QDir::homePath(), false},
        {QStringLiteral("/"), false},
        {QString(), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MayClearFolder(c.folder), c.allowed) << c.folder.toStdString();
}

} // namespace
