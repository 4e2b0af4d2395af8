#include "foundation/FileList.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
QString S(const char* utf8) { return QString::fromUtf8(utf8); }

class FileList : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* n : {"b.txt", "A.TXT", "c.dat", ".hidden.txt", "README", "Отчёт.txt"})
            WriteFileBytes(P(S(n)), "x");
        QDir().mkpath(P(S("Sub")));
        QDir().mkpath(P(S("alpha")));
        QDir().mkpath(P(S(".cache")));
        WriteFileBytes(P(S("Sub/inner.txt")), "x");
    }
    QString P(const QString& name) const { return Dir() + name; }
    QString Dir() const { return tmp.path() + QLatin1Char('/'); }
    QStringList L(std::initializer_list<const char*> names) const
    {
        QStringList l;
        for (const char* n : names)
            l << P(S(n));
        return l;
    }
    QTemporaryDir tmp;
};
} // namespace

TEST_F(FileList, FilesOnlySortedAppendsAndSortsTheWholeList)
{
    T_yqFileList list;
    list << P(S("zzz"));
    EXPECT_EQ(list.ReadFilesSorted(tmp.path(), S("*.TXT")), 4);
    EXPECT_EQ(list, L({".hidden.txt", "A.TXT", "b.txt", "zzz", "Отчёт.txt"}))
        << "hidden files found, letter case ignored in the mask and in the order, no subfolder";
}

TEST_F(FileList, FilesOnlyUnsortedKeepsWhatWasThere)
{
    T_yqFileList list;
    list << S("first");
    EXPECT_EQ(list.ReadFiles(Dir(), S("*.*")), 6) << "*.* takes README, which has no dot";
    EXPECT_EQ(list.first(), S("first"));
    EXPECT_EQ(list.size(), 7);
    EXPECT_TRUE(list.contains(P(S("README"))));
    EXPECT_FALSE(list.contains(P(S("Sub"))));
}

TEST_F(FileList, WithDirsClearsAndPutsFoldersFirst)
{
    T_yqFileList list;
    list << S("gone");
    EXPECT_EQ(list.ReadDir(tmp.path(), S("*.txt"), true, true, true), 7);
    EXPECT_EQ(list, L({".cache/", "alpha/", "Sub/", ".hidden.txt", "A.TXT", "b.txt", "Отчёт.txt"}));

    EXPECT_EQ(list.ReadDir(tmp.path(), S("*"), true, true, false), 3);
    EXPECT_EQ(list, L({".cache/", "alpha/", "Sub/"}));
}

TEST_F(FileList, UpperCaseTouchesOnlyTheNames)
{
    T_yqFileList list;
    list.UpperCase = true;
    EXPECT_EQ(list.ReadDir(tmp.path(), S("*.txt"), true, true, true), 7);
    EXPECT_EQ(list, L({".CACHE/", "ALPHA/", "SUB/", ".HIDDEN.TXT", "A.TXT", "B.TXT", "ОТЧЁТ.TXT"}));
}

TEST_F(FileList, AcceptEventSeesEveryEntry)
{
    T_yqFileList list;
    QStringList seen;
    QString dirSeen;
    list.OnAccept = [&](const QString& dir, const QFileInfo& e, bool& accept) {
        dirSeen = dir;
        seen << e.fileName();
        accept = false;
    };
    EXPECT_EQ(list.ReadDir(tmp.path(), S("*.txt"), true, true, true), 0);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(dirSeen, Dir());
    seen.sort();
    EXPECT_EQ(seen,
        QStringList({S(".cache"), S(".hidden.txt"), S("A.TXT"), S("Sub"), S("alpha"), S("b.txt"), S("Отчёт.txt")}));

    list.OnAccept = [](const QString&, const QFileInfo& e, bool& accept) { accept = e.fileName().startsWith('b'); };
    EXPECT_EQ(list.ReadFiles(tmp.path(), S("*")), 1);
    EXPECT_EQ(list, L({"b.txt"}));
}

TEST_F(FileList, MissingFolderAddsNothing)
{
    T_yqFileList list;
    list << S("kept");
    EXPECT_EQ(list.ReadFiles(P(S("missing")), S("*")), 0);
    EXPECT_EQ(list, QStringList({S("kept")}));
}

TEST_F(FileList, IndexOfFile)
{
    T_yqFileList list;
    list << S("/data/DB/SR.DB") << S("/data/DB/User.DB") << S("/other/sr.db");
    EXPECT_EQ(list.IndexOfFile(S("sr.db")), 0) << "a bare name in any letter case";
    EXPECT_EQ(list.IndexOfFile(S("USER.DB")), 1);
    EXPECT_EQ(list.IndexOfFile(S("/other/sr.db")), 2) << "with a folder: the exact text";
    EXPECT_EQ(list.IndexOfFile(S("/OTHER/SR.DB")), -1);
    EXPECT_EQ(list.IndexOfFile(S("DB")), -1);
}

TEST_F(FileList, DeleteFilesByNameMaskFromTheEnd)
{
    T_yqFileList list;
    list.UpperCase = true; // the names in the list differ in case from the disk
    list.ReadFilesSorted(tmp.path(), S("*"));
    ASSERT_EQ(list.size(), 6);
    EXPECT_TRUE(list.DeleteFiles(S("*.txt")));
    EXPECT_EQ(list, L({"C.DAT", "README"}));
    EXPECT_FALSE(QFile::exists(P(S("b.txt"))));
    EXPECT_FALSE(QFile::exists(P(S(".hidden.txt"))));
    EXPECT_TRUE(QFile::exists(P(S("c.dat"))));
    EXPECT_TRUE(QFile::exists(P(S("Sub/inner.txt"))));

    EXPECT_TRUE(list.DeleteFiles(tmp.path() + S("/c*")) && list == L({"README"})) << "a mask with a folder";
    EXPECT_TRUE(list.DeleteAllFiles());
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(QFile::exists(P(S("README"))));
}

TEST_F(FileList, FailedDeletionKeepsItsEntry)
{
    T_yqFileList list;
    list << P(S("b.txt")) << S("/proc/version") << P(S("c.dat"));
    EXPECT_FALSE(list.DeleteAllFiles()) << "a file of /proc cannot be deleted, even by root";
    EXPECT_EQ(list, QStringList({S("/proc/version")}));
    EXPECT_FALSE(QFile::exists(P(S("b.txt"))));
    EXPECT_FALSE(QFile::exists(P(S("c.dat"))));
}
