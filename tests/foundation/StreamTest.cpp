#include "foundation/Stream.h"
#include "platform/Exceptions.h"
#include "support/TestSupport.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(MemoryStream, WritesExtendAndGapsAreZero)
{
    TMemoryStream s;
    s.WriteBuffer("abc", 3);
    EXPECT_EQ(s.Position(), 3);
    s.SetPosition(1);
    s.WriteBuffer("XYZ", 3); // overwrites and extends
    EXPECT_EQ(s.Bytes(), QByteArray("aXYZ"));
    EXPECT_EQ(s.Seek(2, TSeekOrigin::soEnd), 6);
    s.WriteBuffer("!", 1);
    EXPECT_EQ(s.Bytes(), QByteArray("aXYZ\0\0!", 7));
    EXPECT_EQ(s.Seek(-3, TSeekOrigin::soCurrent), 4);
    EXPECT_EQ(s.Seek(0, TSeekOrigin::soBeginning), 0);
    EXPECT_THROW(s.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
    EXPECT_THROW(s.Seek(-8, TSeekOrigin::soEnd), EStreamError);
    EXPECT_EQ(s.Position(), 0);
}

TEST(MemoryStream, ReadsStopAtTheEnd)
{
    TMemoryStream s(QByteArray("hello"));
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 3), 3);
    EXPECT_EQ(QByteArray(buf, 3), QByteArray("hel"));
    EXPECT_EQ(s.Read(buf, 8), 2);
    EXPECT_EQ(s.Read(buf, 8), 0);
    s.SetPosition(100); // past the end: reads nothing, breaks nothing
    EXPECT_EQ(s.Read(buf, 1), 0);

    s.SetPosition(3);
    try {
        s.ReadBuffer(buf, 3);
        FAIL() << "no EReadError";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Stream read error"));
    }
    EXPECT_THROW(s.ReadBuffer(buf, -1), EReadError);
    s.ReadBuffer(buf, 0); // nothing asked, nothing raised
}

TEST(MemoryStream, SetSizeCutsAndClampsThePosition)
{
    TMemoryStream s(QByteArray("0123456789"));
    s.SetPosition(8);
    s.SetSize(4);
    EXPECT_EQ(s.Bytes(), QByteArray("0123"));
    EXPECT_EQ(s.Position(), 4);
    s.SetSize(6);
    EXPECT_EQ(s.Bytes(), QByteArray("0123\0\0", 6));
    EXPECT_THROW(s.SetSize(-1), EStreamError);
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
}

TEST(FileStream, CreateWriteReopenAndCopy)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("blob.bin"));
    {
        TFileStream f(path, fmCreate);
        f.WriteBuffer("abcdef", 6);
        EXPECT_EQ(f.Size(), 6);
    }
    {
        // opening for writing keeps the content
        TFileStream f(path, fmOpenWrite | fmShareDenyWrite);
        f.SetPosition(2);
        f.WriteBuffer("XY", 2);
    }
    EXPECT_EQ(ReadFileBytes(path), QByteArray("abXYef"));
    {
        TFileStream f(path, fmOpenRead);
        TMemoryStream m;
        EXPECT_EQ(m.CopyFrom(f, 0), 6);
        EXPECT_EQ(m.Bytes(), QByteArray("abXYef"));
        // a file opened for reading refuses writes
        try {
            f.WriteBuffer("z", 1);
            FAIL() << "no EWriteError";
        } catch (const EWriteError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Stream write error"));
        }
        f.SetPosition(4);
        char buf[4] = {};
        EXPECT_THROW(f.ReadBuffer(buf, 4), EReadError);
    }
    {
        TFileStream f(path, fmOpenReadWrite);
        f.SetSize(3);
        EXPECT_EQ(f.Size(), 3);
    }
    EXPECT_EQ(ReadFileBytes(path), QByteArray("abX"));
}

TEST(FileStream, OpenErrorsNameTheFile)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("нет.bin"));
    try {
        TFileStream f(missing, fmOpenRead);
        FAIL() << "no EFOpenError";
    } catch (const EFOpenError& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(missing)))
            << e.Message().toStdString();
    }
    EXPECT_THROW(TFileStream(missing, fmOpenWrite), EFOpenError);
    EXPECT_FALSE(QFile::exists(missing)); // opening for writing does not create
    const QString inMissingFolder = dir.filePath(QStringLiteral("no/such/folder/x.bin"));
    try {
        TFileStream f(inMissingFolder, fmCreate);
        FAIL() << "no EFCreateError";
    } catch (const EFCreateError& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(inMissingFolder)));
    }
}
