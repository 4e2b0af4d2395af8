#include "foundation/Funcs.h"
#include "platform/Disk.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString S(const char* utf8) { return QString::fromUtf8(utf8); }

QByteArray Pattern(int size, int seed = 0)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<char>((i * 131 + seed) & 0xFF);
    return b;
}

// Every name in a folder, hidden ones included, sorted.
QStringList Names(const QString& dir)
{
    QStringList l = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    l.sort();
    return l;
}

class FakeDisk final : public IDiskInfo {
public:
    explicit FakeDisk(int64_t free) : free_(free) { SetDiskInfo(this); }
    ~FakeDisk() override { SetDiskInfo(nullptr); }
    int64_t FreeSpace(const QString&) override { return free_; }
    int64_t TotalSpace(const QString&) override { return free_; }
    bool IsNetworkFileSystem(const QString&) override { return network; }
    bool network = false;

private:
    int64_t free_;
};

struct ProgressCall {
    int64_t bytes;
    bool start;
};

// Records the calls and asks to stop at call number stopAt (1 = first block).
struct Recorder {
    std::vector<ProgressCall> calls;
    int stopAt = 0;
    TCopyProgress Callback()
    {
        return [this](int64_t bytes, bool& flag) {
            calls.push_back({bytes, flag});
            if (!flag && stopAt > 0 && static_cast<int>(calls.size()) - 1 == stopAt)
                flag = true;
        };
    }
};

void SetMTime(const QString& path, const QDateTime& t)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(t, QFileDevice::FileModificationTime));
}

class FileFuncs : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString P(const QString& name) const { return tmp.path() + QLatin1Char('/') + name; }
    // True when the folder was made and lies on another file system than tmp.
    bool OnAnotherFileSystem(const QTemporaryDir& other) const
    {
        struct stat a {
        }, b{};
        return other.isValid() && ::stat(QFile::encodeName(other.path()).constData(), &a) == 0
            && ::stat(QFile::encodeName(tmp.path()).constData(), &b) == 0 && a.st_dev != b.st_dev;
    }
};

} // namespace

// ---- paths ----

namespace {
struct PathCase {
    const char* name;
    const char* in;
    const char* add;
    const char* remove;
};

class PathTrailingSeparator : public ::testing::TestWithParam<PathCase> {};
} // namespace

TEST_P(PathTrailingSeparator, AddAndRemove)
{
    EXPECT_EQ(AddBackslash(S(GetParam().in)), S(GetParam().add));
    EXPECT_EQ(RemoveBackslash(S(GetParam().in)), S(GetParam().remove));
}

INSTANTIATE_TEST_SUITE_P(Funcs, PathTrailingSeparator,
    ::testing::Values(PathCase{"BlanksAroundSeparator", "  /a/b/  ", "/a/b/", "/a/b"},
        PathCase{"BlanksNoSeparator", " /a ", "/a/", "/a"}, PathCase{"Empty", "", "", ""},
        PathCase{"OnlyBlanks", "   ", "", ""}, PathCase{"Root", "/", "/", "/"}, PathCase{"Relative", "db", "db/", "db"},
        PathCase{"OneSeparatorRemoved", "a//", "a//", "a/"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FilePaths, BaseNameAndNetworkPaths)
{
    EXPECT_EQ(ExtractFileBaseName(S("/x/T.DB.bak")), S("T"));
    EXPECT_EQ(ExtractFileBaseName(S("Отчёт.txt")), S("Отчёт"));
    EXPECT_EQ(ExtractFileBaseName(S("/x.d/noext")), S("noext"));
    EXPECT_EQ(ExtractFileBaseName(S("/x/.hidden")), QString());
    EXPECT_EQ(ExtractFileBaseName(S("/x/")), QString());

    EXPECT_TRUE(IsUncPath(S("//server/share/db")));
    QTemporaryDir local;
    EXPECT_FALSE(IsUncPath(local.path()));
    FakeDisk disk(100);
    disk.network = true;
    EXPECT_TRUE(IsUncPath(local.path())) << "a mounted network share is a network path too";
}

// ---- folders ----

TEST_F(FileFuncs, FolderStates)
{
    const QString dir = P(S("a/b/c"));
    EXPECT_TRUE(DirHasNoFiles(dir)) << "a missing folder has no files";
    EXPECT_TRUE(IsDirEmpty(dir));
    EXPECT_TRUE(EnsureDirectory(dir + S("/")));
    EXPECT_TRUE(QFileInfo(dir).isDir());
    EXPECT_TRUE(EnsureDirectory(dir)) << "an existing folder is fine";
    EXPECT_TRUE(DirHasNoFiles(dir));
    EXPECT_TRUE(IsDirEmpty(dir));

    EXPECT_TRUE(DirHasNoFiles(P(S("a/b")))) << "a subfolder is no file";
    EXPECT_FALSE(IsDirEmpty(P(S("a/b"))));

    WriteFileBytes(dir + S("/.hidden"), "x");
    EXPECT_FALSE(DirHasNoFiles(dir)) << "hidden files count";
    EXPECT_FALSE(IsDirEmpty(dir));

    WriteFileBytes(P(S("plain")), "x");
    EXPECT_FALSE(EnsureDirectory(P(S("plain/sub")))) << "a file stands in the way";
}

TEST_F(FileFuncs, ProgramFileAndSize)
{
    ScopedProgramFolder program;
    WriteFileBytes(program.File(S("qor.ini")), "12345");
    EXPECT_TRUE(ProgramFileExists(S("qor.ini")));
    EXPECT_FALSE(ProgramFileExists(S("other.ini")));
    EXPECT_TRUE(ProgramFileExists(program.File(S("qor.ini"))));
    QDir().mkpath(program.File(S("TMP")));
    EXPECT_FALSE(ProgramFileExists(S("TMP"))) << "a folder is no file";

    EXPECT_EQ(GetFileSizeByName(program.File(S("qor.ini"))), 5);
    EXPECT_EQ(GetFileSizeByName(program.File(S("missing"))), -2);
    WriteFileBytes(P(S("empty")), QByteArray());
    EXPECT_EQ(GetFileSizeByName(P(S("empty"))), 0);
}

TEST_F(FileFuncs, DeleteFilesByMaskIgnoresCaseAndKeepsFolders)
{
    for (const char* n : {"a.db", "B.DB", ".c.db", "d.px", "README"})
        WriteFileBytes(P(S(n)), "x");
    QDir().mkpath(P(S("sub.db")));
    WriteFileBytes(P(S("sub.db/inner.db")), "x");

    EXPECT_TRUE(DeleteFilesByMask(P(S("*.DB"))));
    EXPECT_EQ(Names(tmp.path()), QStringList({S("README"), S("d.px"), S("sub.db")}));
    EXPECT_TRUE(QFile::exists(P(S("sub.db/inner.db")))) << "no recursion";

    EXPECT_TRUE(DeleteFilesByMask(P(S("*.none")))) << "nothing matched is success";
    EXPECT_TRUE(DeleteFilesByMask(P(S("missing/*.*"))));
    EXPECT_TRUE(DeleteFilesByMask(P(S("*.*"))));
    EXPECT_EQ(Names(tmp.path()), QStringList({S("sub.db")})) << "*.* takes names without a dot too";
}

TEST_F(FileFuncs, ClearDirectoryRemovesEverythingButFollowsNoLink)
{
    const QString dir = P(S("work"));
    WriteFileBytes(dir + S("/f.txt"), "x");
    WriteFileBytes(dir + S("/.hidden"), "x");
    WriteFileBytes(dir + S("/.git/config"), "x");
    WriteFileBytes(dir + S("/sub/deeper/g.txt"), "x");
    WriteFileBytes(P(S("outside/keep.txt")), "keep");
    ASSERT_EQ(
        ::symlink(QFile::encodeName(P(S("outside"))).constData(), QFile::encodeName(dir + S("/link")).constData()), 0);
    ASSERT_EQ(::symlink("/nonexistent", QFile::encodeName(dir + S("/broken")).constData()), 0);

    EXPECT_TRUE(ClearDirectory(dir + S("/")));
    EXPECT_TRUE(QFileInfo(dir).isDir()) << "the folder itself stays";
    EXPECT_EQ(Names(dir), QStringList());
    EXPECT_EQ(ReadFileBytes(P(S("outside/keep.txt"))), QByteArray("keep")) << "the link's target is untouched";

    EXPECT_TRUE(ClearDirectory(P(S("missing"))));
    EXPECT_FALSE(ClearDirectory(QString())) << "never the current folder by accident";
    EXPECT_FALSE(ClearDirectory(S("  ")));
    EXPECT_FALSE(ClearDirectory(S("/")));
}

TEST_F(FileFuncs, CopyFileGroupRenamesATableWithItsCompanions)
{
    WriteFileBytes(P(S("db/SR.DB")), "table");
    WriteFileBytes(P(S("db/SR.PX")), "index");
    WriteFileBytes(P(S("db/sr.val")), "checks");
    WriteFileBytes(P(S("db/SRX.DB")), "other table");
    QDir().mkpath(P(S("out")));

    EXPECT_EQ(CopyFileGroup(P(S("db/SR.*")), P(S("out/NEW"))), 3);
    EXPECT_EQ(Names(P(S("out"))), QStringList({S("NEW.DB"), S("NEW.PX"), S("NEW.val")}));
    EXPECT_EQ(ReadFileBytes(P(S("out/NEW.PX"))), QByteArray("index"));

    // Without a name in Dest the mask's base name is used.
    EXPECT_EQ(CopyFileGroup(P(S("db/SRX.*")), P(S("out/"))), 1);
    EXPECT_EQ(ReadFileBytes(P(S("out/SRX.DB"))), QByteArray("other table"));

    // A mask with wildcards in its base name keeps every file's own name.
    QDir().mkpath(P(S("all")));
    EXPECT_EQ(CopyFileGroup(P(S("db/*.db")), P(S("all/"))), 2);
    EXPECT_EQ(Names(P(S("all"))), QStringList({S("SR.DB"), S("SRX.DB")}));

    // Copies into the source folder that match the mask are not copied again.
    EXPECT_EQ(CopyFileGroup(P(S("db/S*.DB")), P(S("db/SZ"))), 2);
    EXPECT_TRUE(QFile::exists(P(S("db/SZ.DB"))));
    EXPECT_EQ(CopyFileGroup(P(S("missing/*.*")), P(S("out/"))), 0);
}

// ---- the copier ----

TEST_F(FileFuncs, CopyReportsProgressPerBlockAndKeepsDateAndMode)
{
    const QByteArray data = Pattern(100000);
    WriteFileBytes(P(S("src.bin")), data);
    const QDateTime when(QDate(2021, 6, 15), QTime(10, 20, 30), Qt::UTC);
    SetMTime(P(S("src.bin")), when);
    ASSERT_EQ(::chmod(QFile::encodeName(P(S("src.bin"))).constData(), 0640), 0);

    Recorder rec;
    EXPECT_TRUE(CopyOrCompareFile(P(S("src.bin")), P(S("dst.bin")), true, rec.Callback()));
    ASSERT_EQ(rec.calls.size(), 26u) << "one start and 25 blocks of 4096 bytes";
    EXPECT_TRUE(rec.calls[0].start);
    EXPECT_EQ(rec.calls[0].bytes, 100000);
    for (size_t i = 1; i < rec.calls.size(); ++i) {
        EXPECT_FALSE(rec.calls[i].start);
        EXPECT_EQ(rec.calls[i].bytes, std::min<int64_t>(static_cast<int64_t>(i) * 4096, 100000));
    }
    EXPECT_EQ(ReadFileBytes(P(S("dst.bin"))), data);
    EXPECT_EQ(QFileInfo(P(S("dst.bin"))).lastModified().toUTC(), when);
    EXPECT_EQ(QFileInfo(P(S("dst.bin"))).permissions(), QFileInfo(P(S("src.bin"))).permissions());
    EXPECT_EQ(Names(tmp.path()), QStringList({S("dst.bin"), S("src.bin")})) << "no temporary file left";
}

namespace {
struct BlockCase {
    const char* name;
    int size;
    int calls; // after the start
    int64_t firstBlock;
};

class CopyBlocks : public FileFuncs, public ::testing::WithParamInterface<BlockCase> {};
} // namespace

TEST_P(CopyBlocks, BlockSizeAndFinalShortRead)
{
    const BlockCase& c = GetParam();
    WriteFileBytes(P(S("s")), Pattern(c.size, 7));
    Recorder rec;
    EXPECT_TRUE(CopyOrCompareFile(P(S("s")), P(S("t")), true, rec.Callback()));
    ASSERT_EQ(static_cast<int>(rec.calls.size()), c.calls + 1);
    if (c.calls > 0) {
        EXPECT_EQ(rec.calls[1].bytes, c.firstBlock);
    }
    EXPECT_EQ(rec.calls.back().bytes, c.size);
    EXPECT_EQ(ReadFileBytes(P(S("t"))), Pattern(c.size, 7));
}

INSTANTIATE_TEST_SUITE_P(Funcs, CopyBlocks,
    ::testing::Values(BlockCase{"Empty", 0, 1, 0}, BlockCase{"SmallFile", 5000, 3, 2048},
        BlockCase{"ExactMultipleNeedsOneMoreRead", 4096, 3, 2048}, BlockCase{"MediumFile", 65536, 17, 4096},
        BlockCase{"LargeFile", 131072, 9, 16384}, BlockCase{"LargeOddFile", 200001, 13, 16384}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileFuncs, CopyWithoutProgressAndIntoAFolder)
{
    const QByteArray data = Pattern(40000, 3);
    WriteFileBytes(P(S("src.bin")), data);
    QDir().mkpath(P(S("into")));
    EXPECT_TRUE(CopyOneFile(P(S("src.bin")), P(S("into/"))));
    EXPECT_EQ(ReadFileBytes(P(S("into/src.bin"))), data);
    EXPECT_TRUE(CopyOneFile(P(S("src.bin")), P(S("into"))));
    EXPECT_EQ(Names(P(S("into"))), QStringList({S("src.bin")}));

    // A copy onto itself changes nothing, even when the disk is nearly full.
    FakeDisk disk(1);
    EXPECT_TRUE(CopyOneFile(P(S("src.bin")), P(S("src.bin"))));
    EXPECT_EQ(ReadFileBytes(P(S("src.bin"))), data);
}

TEST_F(FileFuncs, StoppedCopyLeavesOldTargetIntact)
{
    WriteFileBytes(P(S("src.bin")), Pattern(100000));
    WriteFileBytes(P(S("dst.bin")), "previous copy");
    Recorder rec;
    rec.stopAt = 3;
    EXPECT_FALSE(CopyOrCompareFile(P(S("src.bin")), P(S("dst.bin")), true, rec.Callback()));
    EXPECT_EQ(rec.calls.size(), 4u) << "start and three blocks";
    EXPECT_EQ(ReadFileBytes(P(S("dst.bin"))), QByteArray("previous copy"));
    EXPECT_EQ(Names(tmp.path()), QStringList({S("dst.bin"), S("src.bin")}));

    // Without an old target nothing is left at all.
    rec = Recorder();
    rec.stopAt = 1;
    EXPECT_FALSE(CopyOrCompareFile(P(S("src.bin")), P(S("new.bin")), true, rec.Callback()));
    EXPECT_FALSE(QFile::exists(P(S("new.bin"))));
    EXPECT_EQ(Names(tmp.path()), QStringList({S("dst.bin"), S("src.bin")}));
}

TEST_F(FileFuncs, FailureDuringCopyLeavesNoPartialTarget)
{
    WriteFileBytes(P(S("src.bin")), Pattern(100000));
    WriteFileBytes(P(S("dst.bin")), "previous copy");
    int calls = 0;
    const TCopyProgress failing = [&](int64_t, bool&) {
        if (++calls == 4)
            throw EAppException(S("simulated failure"));
    };
    EXPECT_THROW(CopyOrCompareFile(P(S("src.bin")), P(S("dst.bin")), true, failing), EAppException);
    EXPECT_EQ(ReadFileBytes(P(S("dst.bin"))), QByteArray("previous copy"));
    EXPECT_EQ(Names(tmp.path()), QStringList({S("dst.bin"), S("src.bin")}));
}

TEST_F(FileFuncs, FreeSpaceIsCheckedBeforeWriting)
{
    WriteFileBytes(P(S("src.bin")), Pattern(10000));
    WriteFileBytes(P(S("dst.bin")), Pattern(100, 1));
    {
        FakeDisk disk(9000); // with the old 100 bytes freed still too little
        Recorder rec;
        try {
            CopyOrCompareFile(P(S("src.bin")), P(S("dst.bin")), true, rec.Callback());
            ADD_FAILURE() << "no EDiskFull";
        } catch (const EDiskFull& e) {
            EXPECT_EQ(e.Message(), S("Free space low"));
        }
        EXPECT_TRUE(rec.calls.empty());
        EXPECT_EQ(ReadFileBytes(P(S("dst.bin"))), Pattern(100, 1));
        EXPECT_THROW(CopyOneFile(P(S("src.bin")), P(S("new.bin"))), EDiskFull);
        EXPECT_EQ(Names(tmp.path()), QStringList({S("dst.bin"), S("src.bin")}));
    }
    {
        // Room for the new copy only once the old one goes: the old one may
        // be the only archive, so it stays unless the caller gives it up.
        FakeDisk disk(9950);
        EXPECT_THROW(CopyOneFile(P(S("src.bin")), P(S("dst.bin"))), EDiskFull);
        EXPECT_EQ(ReadFileBytes(P(S("dst.bin"))), Pattern(100, 1));
        EXPECT_EQ(Names(tmp.path()), QStringList({S("dst.bin"), S("src.bin")}));
        EXPECT_TRUE(CopyOneFile(P(S("src.bin")), P(S("dst.bin")), TOldTarget::GiveUp));
        EXPECT_EQ(ReadFileBytes(P(S("dst.bin"))), Pattern(10000));
    }
    {
        FakeDisk disk(-1);
        try {
            CopyOneFile(P(S("src.bin")), P(S("x.bin")));
            ADD_FAILURE() << "no EDriveNotExist";
        } catch (const EDriveNotExist& e) {
            EXPECT_EQ(e.Message(), P(S("x.bin")));
        }
    }
}

TEST_F(FileFuncs, CompareMode)
{
    const QByteArray data = Pattern(70000);
    QByteArray changed = data;
    changed[changed.size() - 1] = static_cast<char>(changed.back() ^ 1);
    WriteFileBytes(P(S("a")), data);
    WriteFileBytes(P(S("same")), data);
    WriteFileBytes(P(S("lastByte")), changed);
    WriteFileBytes(P(S("shorter")), data.left(69999));

    Recorder rec;
    EXPECT_TRUE(CopyOrCompareFile(P(S("a")), P(S("same")), false, rec.Callback()));
    EXPECT_EQ(rec.calls.size(), 19u) << "start and 18 blocks of 4096";
    EXPECT_TRUE(CopyOrCompareFile(P(S("a")), P(S("a")), false, nullptr)) << "a file equals itself";
    EXPECT_FALSE(CopyOrCompareFile(P(S("a")), P(S("lastByte")), false, nullptr));

    rec = Recorder();
    EXPECT_FALSE(CopyOrCompareFile(P(S("a")), P(S("shorter")), false, rec.Callback()));
    EXPECT_TRUE(rec.calls.empty()) << "sizes are compared before any progress";

    rec = Recorder();
    rec.stopAt = 2;
    EXPECT_THROW(CopyOrCompareFile(P(S("a")), P(S("same")), false, rec.Callback()), EAbort)
        << "a stopped compare is not a difference";
    EXPECT_EQ(ReadFileBytes(P(S("same"))), data) << "compare never writes";
    EXPECT_THROW(CopyOrCompareFile(P(S("a")), P(S("missing")), false, nullptr), EFOpenError);
}

TEST_F(FileFuncs, OpenAndCreateFailures)
{
    EXPECT_THROW(CopyOneFile(P(S("missing")), P(S("t"))), EFOpenError);
    EXPECT_THROW(CopyOneFile(tmp.path(), P(S("t"))), EFOpenError) << "a folder is no source";
    WriteFileBytes(P(S("s")), "abc");
    try {
        CopyOneFile(P(S("s")), P(S("no/such/dir/t")));
        ADD_FAILURE() << "no EFOpenError";
    } catch (const EFOpenError& e) {
        EXPECT_TRUE(e.Message().startsWith(S("Cannot create file \"") + P(S("no/such/dir/t")))) << e.what();
    }
    EXPECT_EQ(Names(tmp.path()), QStringList({S("s")}));
}

namespace {
class FakeBar final : public ICopyProgressBar {
public:
    void SetRange(int64_t min, int64_t max) override
    {
        this->min = min;
        this->max = max;
    }
    void SetPosition(int64_t position) override
    {
        positions.push_back(position);
        if (stopAfter > 0 && static_cast<int>(positions.size()) > stopAfter)
            enabled = true;
    }
    bool Enabled() const override { return enabled; }
    int64_t min = -1, max = -1;
    std::vector<int64_t> positions;
    int stopAfter = 0;
    bool enabled = false;
};
} // namespace

TEST_F(FileFuncs, ProgressBarDrivesAndStops)
{
    WriteFileBytes(P(S("s")), Pattern(10000));
    FakeBar bar;
    EXPECT_TRUE(CopyFileWithBar(P(S("s")), P(S("t")), &bar));
    EXPECT_EQ(bar.min, 0);
    EXPECT_EQ(bar.max, 10000);
    EXPECT_EQ(bar.positions, (std::vector<int64_t>{0, 2048, 4096, 6144, 8192, 10000}));
    EXPECT_TRUE(CompareFileWithBar(P(S("s")), P(S("t")), &bar));
    EXPECT_TRUE(CopyFileWithProgress(P(S("s")), P(S("t")), nullptr, false));

    FakeBar stopping;
    stopping.stopAfter = 2; // enabled once the clerk pressed stop
    EXPECT_FALSE(CopyFileWithBar(P(S("s")), P(S("u")), &stopping));
    EXPECT_FALSE(QFile::exists(P(S("u"))));
}

// ---- move ----

TEST_F(FileFuncs, MoveWithinOneFileSystem)
{
    WriteFileBytes(P(S("a")), "data");
    WriteFileBytes(P(S("b")), "old");
    EXPECT_TRUE(MoveOneFile(P(S("a")), P(S("b"))));
    EXPECT_EQ(ReadFileBytes(P(S("b"))), QByteArray("data"));
    EXPECT_FALSE(QFile::exists(P(S("a"))));
    try {
        MoveOneFile(P(S("a")), P(S("c")));
        ADD_FAILURE() << "no EFCantMove";
    } catch (const EFCantMove& e) {
        EXPECT_EQ(e.Message(), S("Cannot move file ") + P(S("a")));
    }
}

TEST_F(FileFuncs, MoveReadOnlyFileAcrossFileSystems)
{
    QTemporaryDir shm(S("/dev/shm/qor-move-XXXXXX"));
    if (!OnAnotherFileSystem(shm))
        GTEST_SKIP() << "no second file system at hand";
    const QString source = shm.path() + S("/ro.db");
    WriteFileBytes(source, Pattern(50000));
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0444), 0);

    EXPECT_TRUE(MoveOneFile(source, P(S("moved.db"))));
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(ReadFileBytes(P(S("moved.db"))), Pattern(50000));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(P(S("moved.db"))).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u) << "the read-only mode travels";
}

// ---- atomic writes and raw handles ----

TEST_F(FileFuncs, WriteFileAtomicReplacesWholeFiles)
{
    const QString name = P(S("settings.ini"));
    WriteFileAtomic(name, "first");
    EXPECT_EQ(ReadFileBytes(name), QByteArray("first"));
    ASSERT_EQ(::chmod(QFile::encodeName(name).constData(), 0600), 0);
    WriteFileAtomic(name, "second, longer");
    EXPECT_EQ(ReadFileBytes(name), QByteArray("second, longer"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(name).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a replaced file keeps its mode";
    EXPECT_EQ(Names(tmp.path()), QStringList({S("settings.ini")}));
    EXPECT_THROW(WriteFileAtomic(P(S("missing/x.ini")), "x"), EFCreateError);
}

TEST_F(FileFuncs, WriteFileAtomicOnAFullDiskLeavesNoTemporaryFile)
{
    const QString name = P(S("settings.ini"));
    WriteFileAtomic(name, "old");
    {
        ScopedFullDisk full;
        try {
            WriteFileAtomic(name, "new text");
            ADD_FAILURE() << "no EDiskFull";
        } catch (const EDiskFull& e) {
            EXPECT_EQ(e.Message(), S("Недостаточно места на диске, файл не записан:\r\n") + name);
        }
    }
    EXPECT_EQ(ReadFileBytes(name), QByteArray("old"));
    EXPECT_EQ(Names(tmp.path()), QStringList({S("settings.ini")}));
    // Nobody catches it (the program ends at once): the temporary file must
    // not rely on the unwinding of the stack to go.
    EXPECT_DEATH(
        {
            ScopedFullDisk full;
            std::thread([&] { WriteFileAtomic(name, "new text"); }).join();
        },
        "");
    EXPECT_EQ(Names(tmp.path()), QStringList({S("settings.ini")}));
    EXPECT_EQ(ReadFileBytes(name), QByteArray("old"));
}

TEST_F(FileFuncs, UnbufferedHandles)
{
    const int w = FileCreateUnbuffered(P(S("raw")));
    ASSERT_GE(w, 0);
    EXPECT_EQ(::write(w, "abc", 3), 3);
    ::close(w);
    const int r = FileOpenUnbuffered(P(S("raw")), 0);
    ASSERT_GE(r, 0);
    char buf[4] = {};
    EXPECT_EQ(::read(r, buf, 4), 3);
    EXPECT_EQ(::write(r, "x", 1), -1) << "opened for reading only";
    ::close(r);
    EXPECT_EQ(FileOpenUnbuffered(P(S("none")), 2), -1);
}

TEST_F(FileFuncs, MoveKeepsTheCopyWhenTheSourceCannotGo)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root deletes in any folder";
    QTemporaryDir shm(S("/dev/shm/qor-move-XXXXXX"));
    if (!OnAnotherFileSystem(shm))
        GTEST_SKIP() << "no second file system at hand";
    const QString source = shm.path() + S("/locked/x.db");
    WriteFileBytes(source, "data");
    ASSERT_EQ(::chmod(QFile::encodeName(shm.path() + S("/locked")).constData(), 0555), 0);
    EXPECT_THROW(MoveOneFile(source, P(S("x.db"))), EFCantMove);
    EXPECT_TRUE(QFile::exists(source));
    EXPECT_EQ(ReadFileBytes(P(S("x.db"))), QByteArray("data"));
    ::chmod(QFile::encodeName(shm.path() + S("/locked")).constData(), 0755);
}
